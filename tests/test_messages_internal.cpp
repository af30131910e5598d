// The unit tier of messages/internal: the helpers every request and every
// reply passes through, pinned one row per case without a server. What a
// helper gets wrong here reaches every operation, so each table covers the
// edges (empty, the last byte, the limit and one past it), not the middle.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "messages/internal/TaskStatus.h"
#include "messages/internal/ValueCheck.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"
#include "tests/support/EchoMessages.h"
#include "tests/support/TestSupport.h"

using namespace celerra_internal;

namespace {

// ------------------------------------------------------------ request values

TEST(XmlText, EscapingLeavesNoMarkupInAValue) {
  struct Case {
    std::string value, escaped;
  } cases[] = {
      {"", ""},
      {"plain", "plain"},
      {"&", "&amp;"},
      {"<>", "&lt;&gt;"},
      {"\"'", "&quot;&apos;"},
      {"&amp;", "&amp;amp;"},  // already escaped text is escaped again: it is a value, not markup
      {"a</Query><Injected/>", "a&lt;/Query&gt;&lt;Injected/&gt;"},
      {"caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},  // UTF-8 as it is
      {std::string("a\0b", 3), std::string("a\0b", 3)},          // refused by the check, not altered
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(XmlEscape(c.value), c.escaped);
  }
  EXPECT_EQ(XmlAttr("name", "a\"b&c"), " name=\"a&quot;b&amp;c\"");
  EXPECT_EQ(XmlAttr("name", ""), " name=\"\"");
}

TEST(XmlText, ValuesThatMayNotBeSentAreNamedWithTheirPlace) {
  struct Case {
    const char* what;
    std::string value;
    std::string refused;  // empty: may be sent
  } cases[] = {
      {"empty", "", ""},
      {"ASCII", "fs_1 /root-path.x", ""},
      {"two-byte", "\xc3\xa9", ""},
      {"three-byte", "\xe2\x82\xac", ""},
      {"four-byte, the last code point", "\xf4\x8f\xbf\xbf", ""},
      {"no-break space, the first after C1", "\xc2\xa0", ""},
      {"replacement character", "\xef\xbf\xbd", ""},
      {"NUL", std::string("a\0", 2), "control character U+0000 at byte 1"},
      {"tab", "a\tb", "control character U+0009 at byte 1"},
      {"line feed", "ck\nother", "control character U+000A at byte 2"},
      {"carriage return", "\r", "control character U+000D at byte 0"},
      {"unit separator", "\x1f", "control character U+001F at byte 0"},
      {"DEL", "ck\x7f", "control character U+007F at byte 2"},
      {"first C1", "\xc2\x80", "control character U+0080 at byte 0"},
      {"next line, a C1", "SRV\xc2\x85", "control character U+0085 at byte 3"},
      {"last C1", "\xc2\x9f", "control character U+009F at byte 0"},
      {"a byte that starts nothing", "share\xff", "invalid UTF-8 at byte 5"},
      {"a lone continuation byte", "\x80", "invalid UTF-8 at byte 0"},
      {"cut short at the end", "ab\xe2\x82", "invalid UTF-8 at byte 2"},
      {"continuation missing", "\xc3\x28", "invalid UTF-8 at byte 0"},
      {"overlong slash", "fs1\xe0\x80\xaf", "invalid UTF-8 at byte 3"},
      {"overlong two-byte", "\xc0\xaf", "invalid UTF-8 at byte 0"},
      {"surrogate", "\xed\xa0\x80", "invalid UTF-8 at byte 0"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", "invalid UTF-8 at byte 0"},
      {"first fault counts", "\xff\n", "invalid UTF-8 at byte 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(RefusedText(c.value), c.refused);
  }
}

TEST(XmlText, ACheckNotesTheFirstRefusedValueOfItsThreadOnly) {
  // Without a check, escaping notes nothing anywhere.
  XmlEscape("a\nb");
  ValueCheck check;
  XmlEscape("fine");
  EXPECT_EQ(check.refused(), "");
  XmlAttr("name", "ck\nother");
  XmlEscape("\xff");
  XmlAttr("path", "\t");
  EXPECT_EQ(check.refused(), "the value of name holds control character U+000A at byte 2");
  {
    // An inner check (a request written while another is) has its own
    // verdict; the outer one is back in force after it.
    ValueCheck inner;
    XmlEscape("x\x7f");
    EXPECT_EQ(inner.refused(), "a value holds control character U+007F at byte 1");
  }
  ValueCheck::Note("share", "\xff");
  EXPECT_EQ(check.refused(), "the value of name holds control character U+000A at byte 2");
}

TEST(XmlText, ListsSplitAtEverySeparator) {
  using List = std::vector<std::string>;
  struct Case {
    std::string text;
    List pieces;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a,b,c", {"a", "b", "c"}},
      {"a,", {"a"}},  // a trailing separator adds nothing
      {"a,,b", {"a", "", "b"}},
      {",a", {"", "a"}},
      {",", {""}},
      {"a b", {"a b"}},  // blanks are kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SplitList(c.text, ','), c.pieces);
  }
  EXPECT_EQ(SplitList("10.0.0.1:10.0.0.2", ':'), (List{"10.0.0.1", "10.0.0.2"}));
}

TEST(XmlText, NumbersReadAsTheCLibraryReadsThemAndNeverClampOrWrap) {
  struct Case {
    const char* text;
    bool wide;          // a 64-bit field, else 32-bit
    int64_t value;      // read; 0 when refused
    const char* error;  // why the reply cannot be read; empty when it can
  } cases[] = {
      {"", true, 0, ""},
      {"abc", true, 0, ""},  // no number at all reads 0
      {"42", true, 42, ""},
      {"-7", true, -7, ""},
      {"+7", false, 7, ""},
      {" 12", true, 12, ""},    // leading blanks skipped
      {"12abc", true, 12, ""},  // reading stops at the first non-digit
      {"4.5", true, 4, ""},
      {"0x10", true, 0, ""},  // decimal only
      {"010", false, 10, ""},
      {"5368709120", true, 5368709120LL, ""},  // past 32 bits: sizes in bytes
      {"9223372036854775807", true, INT64_MAX, ""},
      {"-9223372036854775808", true, INT64_MIN, ""},
      {"2147483647", false, INT32_MAX, ""},
      {"-2147483648", false, INT32_MIN, ""},
      {"9223372036854775808", true, 0, "the number 9223372036854775808 in f is too large for its 64-bit field"},
      {"18446744073709551616", true, 0, "the number 18446744073709551616 in f is too large"},  // 2^64
      {" -99999999999999999999x", true, 0, "the number -99999999999999999999 in f is too small for its 64-bit"},
      {"2147483648", false, 0, "the number 2147483648 in f is too large for its 32-bit field"},
      {"-2147483649", false, 0, "the number -2147483649 in f is too small for its 32-bit field"},
      {"1234567890123456789012345678901234567890123", true, 0,
       "the number 1234567890123456789012345678901234567890... in f"},  // shortened
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    NumberReader numbers;
    EXPECT_EQ(c.wide ? numbers.Int64("f", c.text) : numbers.Int32("f", c.text), c.value);
    EXPECT_EQ(numbers.error().rfind(c.error, 0), 0u) << numbers.error();
    EXPECT_EQ(numbers.error().empty(), *c.error == '\0') << numbers.error();
  }
  // The first number that did not fit is the reason; later ones read 0.
  NumberReader numbers;
  EXPECT_EQ(numbers.Int64("a", "99999999999999999999"), 0);
  EXPECT_EQ(numbers.Int32("b", "3000000000"), 0);
  EXPECT_EQ(numbers.Int64("c", "5"), 5);
  EXPECT_NE(numbers.error().find(" in a "), std::string::npos) << numbers.error();
}

TEST(XmlText, Utf16BecomesUtf8) {
  struct Case {
    const char* what;
    std::u16string text;
    std::string utf8;
  } cases[] = {
      {"empty", u"", ""},
      {"ASCII", u"fs1", "fs1"},
      {"last one-byte", u"\u007f", "\x7f"},
      {"first two-byte", u"\u0080", "\xc2\x80"},
      {"last two-byte", u"\u07ff", "\xdf\xbf"},
      {"first three-byte", u"\u0800", "\xe0\xa0\x80"},
      {"last BMP", u"\uffff", "\xef\xbf\xbf"},
      {"a pair", u"\U0001D11E", "\xf0\x9d\x84\x9e"},
      {"the last pair", u"\U0010FFFF", "\xf4\x8f\xbf\xbf"},
      {"lone high surrogate", std::u16string(1, char16_t(0xD800)) + u"a",
       "\xef\xbf\xbd"
       "a"},
      {"lone low surrogate", std::u16string(1, char16_t(0xDC00)), "\xef\xbf\xbd"},
      {"high at the end", u"a" + std::u16string(1, char16_t(0xDBFF)), "a\xef\xbf\xbd"},
      {"low before high", std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xef\xbf\xbd\xef\xbf\xbd"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Utf16ToUtf8(c.text.data(), c.text.size()), c.utf8);
  }
  EXPECT_EQ(Utf16ToUtf8(nullptr, 3), "");
}

// ------------------------------------------------------------ reply documents

std::string Nested(size_t levels, const std::string& inside = "") {
  std::string out;
  for (size_t i = 0; i < levels; ++i) out += "<e>";
  out += inside;
  for (size_t i = 0; i < levels; ++i) out += "</e>";
  return out;
}

TEST(XmlReply, NestingIsReadUpToTheLimitAndRefusedPastIt) {
  struct Case {
    const char* what;
    std::string reply;
    bool read;
  } cases[] = {
      {"elements at the limit", Nested(kMaxReplyDepth), true},
      {"one element past it", Nested(kMaxReplyDepth + 1), false},
      {"text at the limit", Nested(kMaxReplyDepth - 1, "x"), true},
      {"text past it", Nested(kMaxReplyDepth, "x"), false},
      {"attributes are no level", Nested(kMaxReplyDepth - 1, "<e a=\"1\" b=\"2\"/>"), true},
      {"wide is not deep",
       "<r>" + std::string(10000, ' ') +
           [] {
             std::string many;
             for (int i = 0; i < 2000; ++i) many += "<e/>";
             return many;
           }() +
           "</r>",
       true},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReplyDocument doc;
    EXPECT_EQ(doc.Parse(c.reply), c.read) << doc.error();
    EXPECT_TRUE(c.reply.empty());  // taken over either way
    if (!c.read) {
      EXPECT_EQ(doc.error(), "reply nests elements more than 256 levels deep");
      EXPECT_EQ(doc.root(), nullptr);
    }
  }
}

TEST(XmlReply, LookupsWalkInDocumentOrder) {
  std::string text =
      "<ResponsePacket><Response><A n=\"1\"><B n=\"2\">t1<![CDATA[<c>]]><A n=\"3\">t2</A></B></A>"
      "<B n=\"4\" empty=\"\">own<C/>more</B></Response></ResponsePacket>";
  ReplyDocument doc;
  ASSERT_TRUE(doc.Parse(text)) << doc.error();
  const XmlElement* root = doc.root();
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(TagName(root), "ResponsePacket");
  EXPECT_EQ(Parent(root), doc.document());
  EXPECT_EQ(Parent(doc.document()), nullptr);
  EXPECT_EQ(Elements(doc.document(), "ResponsePacket").size(), 1u);  // from the document node the root counts

  auto names = [](const std::vector<const XmlElement*>& list) {
    std::string out;
    for (const XmlElement* e : list) out += TagName(e) + Attr(e, "n") + " ";
    return out;
  };
  EXPECT_EQ(names(Elements(root, "A")), "A1 A3 ");
  EXPECT_EQ(names(Elements(root, "B", "A")), "A1 B2 A3 B4 ");
  const XmlElement* a1 = FirstElement(root, "A");
  EXPECT_EQ(names(Elements(a1, "A")), "A3 ");  // below, never itself
  EXPECT_EQ(names(ChildElements(Parent(a1), "B")), "B4 ");
  EXPECT_EQ(names(Below(Elements(root, "B"), a1)), "B2 ");
  EXPECT_EQ(FirstElement(root, "Missing"), nullptr);

  const XmlElement* b4 = Elements(root, "B")[1];
  EXPECT_EQ(Text(a1), "t1<c>t2");
  EXPECT_EQ(OwnText(b4), "ownmore");
  EXPECT_TRUE(HasAttr(b4, "empty"));
  EXPECT_FALSE(HasAttr(b4, "missing"));
  EXPECT_STREQ(AttrText(b4, "missing"), "");

  // Every lookup takes null for "not found" and answers with nothing.
  EXPECT_TRUE(Elements(nullptr, "A").empty());
  EXPECT_TRUE(ChildElements(nullptr, "A").empty());
  EXPECT_TRUE(Below(Elements(root, "A"), nullptr).empty());
  EXPECT_EQ(FirstElement(nullptr, "A"), nullptr);
  EXPECT_EQ(Parent(nullptr), nullptr);
  EXPECT_EQ(Attr(nullptr, "n"), "");
  EXPECT_FALSE(HasAttr(nullptr, "n"));
  EXPECT_EQ(Text(nullptr), "");
  EXPECT_EQ(OwnText(nullptr), "");
  EXPECT_EQ(TagName(nullptr), "");
}

// ------------------------------------------------------------ the verdict

TEST(TaskStatus, SeveritiesAreStatusesAndBack) {
  struct Case {
    const char* text;
    eCelerraStatus status;
  } cases[] = {{"ok", STATUS_OK},    {"info", STATUS_OK}, {"warning", STATUS_WARNING}, {"error", STATUS_ERROR},
               {"OK", STATUS_ERROR}, {"", STATUS_ERROR},  {"critical", STATUS_ERROR}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(StatusOfSeverity(c.text), c.status);
  }
  EXPECT_STREQ(SeverityOfStatus(STATUS_OK), "ok");
  EXPECT_STREQ(SeverityOfStatus(STATUS_WARNING), "warning");
  EXPECT_STREQ(SeverityOfStatus(STATUS_ERROR), "error");
}

TEST(TaskStatus, OnlyTheTasksOwnStatusCounts) {
  struct Case {
    const char* what;
    const char* response;
    bool ok;
    const char* code;  // of the problem kept
  } cases[] = {
      {"no status at all", "<Response/>", true, ""},
      {"the task's own ok", "<Response><TaskResponse><Status maxSeverity=\"ok\"/></TaskResponse></Response>", true, ""},
      {"info is a success",
       "<Response><TaskResponse><Status maxSeverity=\"info\"><Problem messageCode=\"3\"/></Status></TaskResponse>"
       "</Response>",
       true, ""},
      {"the task's own refusal, last problem kept",
       "<Response><TaskResponse><Status maxSeverity=\"error\"><Problem messageCode=\"1\"/>"
       "<Problem messageCode=\"2\"/></Status></TaskResponse></Response>",
       false, "2"},
      {"a body element's refusal does not count",
       "<Response><TaskResponse><Detail><Status maxSeverity=\"error\"><Problem messageCode=\"9\"/></Status></Detail>"
       "<Status maxSeverity=\"ok\"/></TaskResponse></Response>",
       true, ""},
      {"a status right inside the response",
       "<Response><Status maxSeverity=\"warning\"><Problem messageCode=\"5\"/></Status></Response>", false, "5"},
      {"a refusal without problems", "<Response><Status maxSeverity=\"error\"/></Response>", false, ""},
  };
  celtest::LogCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = c.response;
    ReplyDocument doc;
    ASSERT_TRUE(doc.Parse(text)) << doc.error();
    CelerraError record;
    record.m_sMessageCode = "untouched";
    EvEvent event;
    EXPECT_EQ(ReadTaskStatus(doc.root(), record, event, "TestMsg"), c.ok);
    EXPECT_EQ(record.m_sMessageCode, c.ok ? "untouched" : c.code);
    if (!c.ok) EXPECT_NE(record.m_eStatus, STATUS_OK);
  }
  EXPECT_TRUE(log.Contains("Unable to get details of the last error"));
}

// The envelope judgement of the base response, on the reply text alone: what
// reaches the caller of an exchange, for every shape a control station
// writes. Queries (type 0) and tasks (type 1).
TEST(Envelope, RepliesAreJudgedByTheirEnvelope) {
  struct Case {
    const char* what;
    int type;
    std::string reply;
    bool ok;
    eCelerraStatus status;
    const char* code;     // the problem kept in the last error
    const char* taskId;   // for tasks
    const char* message;  // a part of the last error's message
  } cases[] = {
      {"ok query", 0, "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/></Response></ResponsePacket>", true,
       STATUS_OK, "", "", ""},
      {"query without a status", 0, "<ResponsePacket><Response/></ResponsePacket>", true, STATUS_OK, "", "", ""},
      {"info notice", 0, "<ResponsePacket><Response><QueryStatus maxSeverity=\"info\"/></Response></ResponsePacket>",
       true, STATUS_OK, "", "", ""},
      {"warning", 0,
       "<ResponsePacket><Response><QueryStatus maxSeverity=\"warning\"><Problem messageCode=\"77\" message=\"careful\" "
       "severity=\"warning\"/></QueryStatus></Response></ResponsePacket>",
       false, STATUS_WARNING, "77", "", "careful"},
      {"status texts compare exactly", 0,
       "<ResponsePacket><Response><QueryStatus maxSeverity=\"OK\"/></Response></ResponsePacket>", false, STATUS_ERROR,
       "", "", ""},
      {"real-world decorations", 0,
       "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone = \"yes\"?>\n"
       "<ResponsePacket xmlns=\"http://example.invalid/api\" extra=\"1\">\n  "
       "<ResponseEx clientHandle=\"h1\" >\n    <QueryStatus  maxSeverity = \"ok\" />\n"
       "    <Unknown a=\"b\"><Child/></Unknown>\n  </ResponseEx>\n</ResponsePacket>\n",
       true, STATUS_OK, "", "", ""},
      {"packet fault", 0,
       "<ResponsePacket><PacketFault maxSeverity=\"error\"><Problem messageCode=\"9\" message=\"bad\"/>"
       "</PacketFault></ResponsePacket>",
       false, STATUS_ERROR, "9", "", "bad"},
      {"fault in a query's response", 0,
       "<ResponsePacket><Response><Fault maxSeverity=\"error\"><Problem messageCode=\"13\" message=\"unknown id\"/>"
       "</Fault></Response></ResponsePacket>",
       false, STATUS_ERROR, "13", "", "unknown id"},
      {"fault in a task's response", 1,
       "<ResponsePacket><Response><Fault maxSeverity=\"error\"><Problem messageCode=\"13\" message=\"unknown id\"/>"
       "</Fault></Response></ResponsePacket>",
       false, STATUS_ERROR, "13", "", "unknown id"},
      {"task with its id", 1,
       "<ResponsePacket><Response><TaskResponse taskId=\"4711\"><Status maxSeverity=\"ok\"/></TaskResponse>"
       "</Response></ResponsePacket>",
       true, STATUS_OK, "", "4711", ""},
      {"task refused without TaskResponse", 1,
       "<ResponsePacket><Response><Status maxSeverity=\"error\"><Problem messageCode=\"13690535947\" "
       "message=\"exists\"/></Status></Response></ResponsePacket>",
       false, STATUS_ERROR, "13690535947", "", "exists"},
      {"task without its Status keeps its id", 1,
       "<ResponsePacket><Response><TaskResponse taskId=\"5\"/></Response></ResponsePacket>", false, STATUS_ERROR, "",
       "5", "Status"},
      {"task without TaskResponse or Status", 1, "<ResponsePacket><Response/></ResponsePacket>", false, STATUS_ERROR,
       "", "", ""},
      {"a body's failed Status under an ok task", 1,
       "<ResponsePacket><Response><TaskResponse taskId=\"8\"><Detail><Status maxSeverity=\"error\"><Problem "
       "messageCode=\"1\" message=\"inner\"/></Status></Detail><Status maxSeverity=\"ok\"/></TaskResponse>"
       "</Response></ResponsePacket>",
       true, STATUS_OK, "", "8", ""},
      {"a body's ok Status is no task status", 1,
       "<ResponsePacket><Response><Detail><Status maxSeverity=\"ok\"/></Detail></Response></ResponsePacket>", false,
       STATUS_ERROR, "", "", "without TaskResponse"},
      {"a body's ok Status inside the TaskResponse", 1,
       "<ResponsePacket><Response><TaskResponse taskId=\"9\"><Detail><Status maxSeverity=\"ok\"/></Detail>"
       "</TaskResponse></Response></ResponsePacket>",
       false, STATUS_ERROR, "", "9", "without Status"},
      {"the bare shape's Status is the reply's", 1,
       "<ResponsePacket><Response><Status maxSeverity=\"error\"><Problem messageCode=\"5\" message=\"refused\"/>"
       "</Status><Detail><Status maxSeverity=\"ok\"/></Detail></Response></ResponsePacket>",
       false, STATUS_ERROR, "5", "", "refused"},
      {"truncated", 0, "<ResponsePacket><Response>", false, STATUS_ERROR, "", "", "Unreadable reply"},
      {"not XML", 0, "this is not XML", false, STATUS_ERROR, "", "", "Unreadable reply"},
      {"no packet", 0, "<Other/>", false, STATUS_ERROR, "", "", ""},
      {"two packets", 0,
       "<R><ResponsePacket><Response/></ResponsePacket><ResponsePacket><Response/></ResponsePacket></R>", false,
       STATUS_ERROR, "", "", ""},
      {"two responses", 0, "<ResponsePacket><Response/><Response/></ResponsePacket>", false, STATUS_ERROR, "", "", ""},
  };
  celtest::LogCapture log;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    celtest::EchoResp resp(7, c.type);
    std::string copy = c.reply;
    resp.AppendXml(&copy[0], static_cast<unsigned long>(copy.size()));
    resp.UnSerializeXML();
    CelerraError e = resp.GetLastError();
    EXPECT_EQ(e.m_eStatus == STATUS_OK, c.ok) << e.m_sMessage;
    EXPECT_EQ(e.m_eStatus, c.status);
    EXPECT_EQ(e.m_sMessageCode, c.code);
    if (c.type == 1) EXPECT_EQ(resp.GetLastTaskId(), c.taskId);
    EXPECT_NE(e.m_sMessage.find(c.message), std::string::npos) << e.m_sMessage;
  }
}

TEST(Envelope, TwoProblemsKeepTheSecondAndLogBoth) {
  celtest::LogCapture log;
  std::string reply =
      "<ResponsePacket><Response><QueryStatus maxSeverity=\"error\">"
      "<Problem messageCode=\"1\" message=\"first\" severity=\"error\" component=\"c1\" facility=\"f1\">"
      "<Description>d1</Description></Problem>"
      "<Problem messageCode=\"2\" message=\"second\" severity=\"error\" component=\"c2\" facility=\"f2\">"
      "<Description>d2</Description><Action>a2</Action><Diagnostics>g2</Diagnostics></Problem>"
      "</QueryStatus></Response></ResponsePacket>";
  celtest::EchoResp resp(7);
  resp.AppendXml(&reply[0], static_cast<unsigned long>(reply.size()));
  resp.UnSerializeXML();
  CelerraError e = resp.GetLastError();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "2");
  EXPECT_EQ(e.m_sMessage, "second");
  EXPECT_EQ(e.m_sSeverity, "error");
  EXPECT_EQ(e.m_sComponent, "c2");
  EXPECT_EQ(e.m_sFacility, "f2");
  EXPECT_EQ(e.m_sDescription, "d2");
  EXPECT_EQ(e.m_sAction, "a2");
  EXPECT_EQ(e.m_sDiagnostics, "g2");
  EXPECT_TRUE(log.Contains("message:[first]"));
  EXPECT_TRUE(log.Contains("message:[second]"));
}

}  // namespace
