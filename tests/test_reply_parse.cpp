// What the reply parse reads and what it refuses, one row per judgement:
// replies that are not one well-formed XML document, a DOCTYPE, nesting past
// the limit and undefined entities are unreadable with a reason; encodings,
// byte-order marks, CDATA, references, comments and processing instructions
// read as XML says, with every value as UTF-8. Read through the public
// response classes: a file system's name for attribute values, a refused
// query's problem description for element text.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "tests/support/EchoMessages.h"

namespace {

const char kHead[] = "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>";
const char kTail[] = "</Response></ResponsePacket>";

// A list reply with one file system whose name attribute is written `name`.
std::string WithName(const std::string& name) {
  return std::string(kHead) + "<FileSystem fileSystem=\"21\" name=\"" + name + "\"/>" + kTail;
}

// A refused query whose problem description holds `description` (raw XML).
std::string WithDescription(const std::string& description) {
  return "<ResponsePacket><Response><QueryStatus maxSeverity=\"error\"><Problem messageCode=\"7\" message=\"m\">"
         "<Description>" +
         description + "</Description></Problem></QueryStatus>" + kTail;
}

std::string Nested(size_t depth) {
  std::string out;
  for (size_t i = 0; i < depth; ++i) out += "<e>";
  for (size_t i = 0; i < depth; ++i) out += "</e>";
  return out;
}

struct Reading {
  bool ok = false;
  std::string name;         // the first file system's name
  std::string description;  // the problem's description
  std::string message;      // the last error's message
  eCelerraErrorKind kind = ERROR_KIND_NONE;
};

// `reply` through `resp`: whether it was read, and the last error.
template <class Resp>
Reading ReadWith(Resp& resp, const std::string& reply) {
  std::string copy = reply;
  resp.AppendXml(&copy[0], static_cast<unsigned long>(copy.size()));
  Reading r;
  r.ok = resp.UnSerializeXML() && resp.IsSuccess();
  CelerraError e = resp.GetLastError();
  r.description = e.m_sDescription;
  r.message = e.m_sMessage;
  r.kind = e.m_eKind;
  return r;
}

Reading Read(const std::string& reply) {
  CelerraXMLGetFSInfoResp resp(1);
  Reading r = ReadWith(resp, reply);
  if (!resp.m_vFileSystems.empty()) r.name = resp.m_vFileSystems[0].m_sName;
  return r;
}

class ReplyParse : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Level = EvDebug::GetLevel();
    EvDebug::SetLevel(-100);
  }
  void TearDown() override { EvDebug::SetLevel(m_Level); }
  int m_Level = 0;
};

TEST_F(ReplyParse, RepliesThatAreNotOneWellFormedDocumentAreRefusedWithAReason) {
  const std::string good = WithName("fs1");
  struct Case {
    const char* what;
    std::string reply;
    const char* reason;  // in the last error's message
  } cases[] = {
      {"empty body", "", "empty reply"},
      {"blanks only", "  \n ", "no element"},
      {"declaration only", "<?xml version=\"1.0\"?>", "no element"},
      {"unclosed tags", std::string(kHead) + "<FileSystem name=\"x\">", "not well-formed"},
      {"mismatched tags", std::string(kHead) + "<FileSystem></Filesystem>" + kTail, "not well-formed"},
      {"end tag without start", good + "</Response>", "not well-formed"},
      {"text after the root", good + "trailing", "text outside the root element"},
      {"text before the root", "leading" + good, "text outside the root element"},
      {"second element outside the root", good + "<Other/>", "second element"},
      {"declaration after the start", good + "<?xml version=\"1.0\"?>", "declaration"},
      {"undefined entity in an attribute", WithName("a&nbsp;b"), "undefined entity &nbsp;"},
      {"undefined entity in text", WithDescription("&custom;"), "undefined entity &custom;"},
      {"'&' that starts no reference", WithName("a & b"), "'&'"},
      {"'<' in an attribute", WithName("a<b"), "'<'"},
      {"reference to NUL", WithName("a&#0;b"), "character XML does not allow"},
      {"reference to a surrogate", WithName("&#xD800;"), "character XML does not allow"},
      {"reference past Unicode", WithName("&#x110000;"), "character XML does not allow"},
      {"malformed reference", WithName("&#x;"), "malformed character reference"},
      {"DOCTYPE", "<!DOCTYPE ResponsePacket>" + good, "DOCTYPE"},
      {"DOCTYPE with an internal subset", "<!DOCTYPE ResponsePacket [<!ENTITY fs \"fs1\">]>" + WithName("&fs;"),
       "DOCTYPE"},
      {"DOCTYPE after the root", good + "<!DOCTYPE ResponsePacket>", "DOCTYPE"},
      {"NUL byte", WithName(std::string("a\0b", 3)), "control character 0"},
      {"control character",
       WithName("a\x01"
                "b"),
       "control character 1"},
      {"invalid UTF-8", WithName("\xC3\x28"), "not UTF-8"},
      {"overlong UTF-8", WithName("\xC0\xAF"), "not UTF-8"},
      {"UTF-8 surrogate", WithName("\xED\xA0\x80"), "not UTF-8"},
      {"8-bit text declared US-ASCII", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>" + WithName("\xC3\xA9"),
       "not US-ASCII"},
      {"unsupported encoding", "<?xml version=\"1.0\" encoding=\"EBCDIC-CP-US\"?>" + good,
       "unsupported encoding EBCDIC-CP-US"},
      {"UTF-16 declared, 8-bit written", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + good, "UTF-16"},
      {"nesting past the limit", WithDescription(Nested(300)), "levels deep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reading r = Read(c.reply);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message.rfind("Unreadable reply: ", 0), 0u) << r.message;
    EXPECT_NE(r.message.find(c.reason), std::string::npos) << r.message;
  }
}

TEST_F(ReplyParse, ValuesReadAsXmlSaysAndComeOutAsUtf8) {
  struct Case {
    const char* what;
    std::string reply;
    std::string name;
  } cases[] = {
      {"UTF-8 as it is", WithName("fs-\xC3\xA9t\xC3\xA9-\xE2\x82\xAC-\xF0\x9D\x84\x9E"),
       "fs-\xC3\xA9t\xC3\xA9-\xE2\x82\xAC-\xF0\x9D\x84\x9E"},
      {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + WithName("fs1"), "fs1"},
      {"declared UTF-8 with a byte-order mark",
       "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>" + WithName("\xC3\xA9"), "\xC3\xA9"},
      {"declared ISO-8859-1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + WithName("\xE9t\xE9 \xA9"),
       "\xC3\xA9t\xC3\xA9 \xC2\xA9"},
      {"declared latin1 in lower case", "<?xml version='1.0' encoding='latin1'?>" + WithName("\xFC"), "\xC3\xBC"},
      {"declared US-ASCII", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>" + WithName("fs1"), "fs1"},
      {"character references", WithName("&#233;&#x20AC;&#x1D11E;&#65;"),
       "\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"
       "A"},
      {"predefined entities", WithName("&lt;&gt;&amp;&apos;&quot;&amp;lt;"), "<>&'\"&lt;"},
      {"blanks in an attribute become spaces", WithName("a\tb\r\nc\nd"), "a b c d"},
      {"a referenced line feed stays", WithName("a&#10;b&#9;c"), "a\nb\tc"},
      {"comments and PIs around the root", "<!-- before --><?pi x?>" + WithName("fs1") + "<!-- after -->", "fs1"},
      {"U+0080, the first character past ASCII", WithName("a\xC2\x80z"), "a\xC2\x80z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reading r = Read(c.reply);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.name, c.name);
  }

  // UTF-16 in both byte orders, with and without a byte-order mark.
  std::u16string text =
      u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><ResponsePacket><Response>"
      u"<QueryStatus maxSeverity=\"ok\"/><FileSystem fileSystem=\"21\" name=\"\u00E9\U0001D11E\"/>"
      u"</Response></ResponsePacket>";
  for (bool bigEndian : {false, true}) {
    for (bool bom : {true, false}) {
      SCOPED_TRACE(std::string("UTF-16 ") + (bigEndian ? "BE" : "LE") + (bom ? " with BOM" : ""));
      std::string bytes;
      if (bom) bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
      for (char16_t u : text) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
      }
      Reading r = Read(bytes);
      EXPECT_TRUE(r.ok) << r.message;
      EXPECT_EQ(r.name, "\xC3\xA9\xF0\x9D\x84\x9E");
    }
  }
  // An unpaired surrogate is no character.
  Reading broken = Read(std::string("\xFF\xFE<\0?\0\x00\xD8", 8));
  EXPECT_FALSE(broken.ok);
  EXPECT_NE(broken.message.find("surrogate"), std::string::npos) << broken.message;
}

TEST_F(ReplyParse, ElementTextReadsAsXmlSays) {
  struct Case {
    const char* what;
    std::string description;
    std::string text;
  } cases[] = {
      {"plain", "disk full", "disk full"},
      {"CDATA kept as written", "a<![CDATA[<b> & c]]>d", "a<b> & cd"},
      {"references", "&lt;x&gt; &amp; &#x263A;", "<x> & \xE2\x98\xBA"},
      {"comments and PIs are not text", "a<!-- note -->b<?pi data?>c", "abc"},
      {"text of child elements in document order", "a<b>b</b><c><d>c</d></c>", "abc"},
      {"line ends as line feeds", "one\r\ntwo\rthree", "one\ntwo\nthree"},
      {"blanks that are all an element holds", "   ", "   "},
      {"blanks between elements are dropped", "\n  <b>x</b>\n  <c>y</c>\n", "xy"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reading r = Read(WithDescription(c.description));
    EXPECT_FALSE(r.ok);  // a refusal: the point is its description
    EXPECT_EQ(r.description, c.text);
  }
}

// A number too large or too small for its field makes the reply unreadable,
// naming the field and the number; one that fits, however large, is read
// exactly, text that is no number reads 0, and identifiers are kept as sent.
TEST_F(ReplyParse, NumbersAreExactOrTheReplyIsRefused) {
  auto fileSystems = [](const std::string& capacity, const std::string& pools) {
    return std::string(kHead) + "<FileSystem fileSystem=\"00021\" name=\"fs1\" storagePools=\"" + pools +
           "\"/><FileSystemCapacityInfo fileSystem=\"00021\" " + capacity + "><ResourceUsage spaceTotal=\"10\"/>" +
           "</FileSystemCapacityInfo>" + kTail;
  };
  auto pools = [](const std::string& attributes) {
    return std::string(kHead) + "<StoragePool name=\"p\" " + attributes + "/>" + kTail;
  };
  auto luns = [](const std::string& attributes) {
    return "<ResponsePacket><ResponseEx><QueryStatus maxSeverity=\"ok\"/><IscsiLun name=\"l\" " + attributes +
           "/></ResponseEx></ResponsePacket>";
  };
  const std::string forty(40, '9');
  struct Case {
    const char* what;
    int message;  // 0: file systems, 1: storage pools, 2: LUNs
    std::string reply;
    const char* refusal;  // empty: read
  } cases[] = {
      {"a 40-digit size", 0, fileSystems("volumeSize=\"" + forty + "\"", "40"), "in volumeSize is too large"},
      {"2^64", 0, fileSystems("volumeSize=\"18446744073709551616\"", "40"),
       "the number 18446744073709551616 in volumeSize is too large for its 64-bit field"},
      {"a pool id past 32 bits", 0, fileSystems("volumeSize=\"1\"", "40 4294967296"),
       "the number 4294967296 in storagePools is too large for its 32-bit field"},
      {"the largest size", 0, fileSystems("volumeSize=\"9223372036854775807\"", "2147483647"), ""},
      {"a pool's id", 1, pools("pool=\"2147483648\" size=\"1\""), "in pool is too large for its 32-bit"},
      {"a pool's used size", 1, pools("pool=\"4\" usedSize=\"-" + forty + "\""), "in usedSize is too small"},
      {"a pool that fits", 1, pools("pool=\"-2147483648\" size=\"n/a\""), ""},
      {"a LUN number", 2, luns("lun=\"99999999999\""), "the number 99999999999 in lun is too large"},
      {"a LUN's size", 2, luns("lun=\"1\" size=\"9223372036854775808\""), "in size is too large"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CelerraXMLGetFSInfoResp fs(1);
    CelerraXMLGetStgPoolsInfoResp pool(1);
    CelerraXMLGetLunInfoResp lun(1);
    Reading r = c.message == 0   ? ReadWith(fs, c.reply)
                : c.message == 1 ? ReadWith(pool, c.reply)
                                 : ReadWith(lun, c.reply);
    EXPECT_EQ(r.ok, *c.refusal == '\0') << r.message;
    if (*c.refusal) {
      EXPECT_EQ(r.kind, ERROR_KIND_REPLY);
      EXPECT_EQ(r.message.rfind("Unreadable reply: ", 0), 0u) << r.message;
      EXPECT_NE(r.message.find(c.refusal), std::string::npos) << r.message;
      EXPECT_TRUE(fs.m_vFileSystems.empty());
    }
  }
  CelerraXMLGetFSInfoResp fs(1);
  ASSERT_TRUE(ReadWith(fs, fileSystems("volumeSize=\"9223372036854775807\"", "2147483647 x")).ok);
  ASSERT_EQ(fs.m_vFileSystems.size(), 1u);
  EXPECT_EQ(fs.m_vFileSystems[0].m_sFSId, "00021");
  EXPECT_EQ(fs.m_vFileSystems[0].m_nVolumeSize, INT64_MAX);
  EXPECT_EQ(fs.m_vFileSystems[0].m_vStoragePools, (std::vector<int>{2147483647, 0}));
  CelerraXMLGetStgPoolsInfoResp pool(1);
  ASSERT_TRUE(ReadWith(pool, pools("pool=\"-2147483648\" size=\"n/a\"")).ok);
  std::vector<CelerraStgPoolInfo_t> read;
  pool.GetStgPoolsInfo(read);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].pool, INT32_MIN);
  EXPECT_EQ(read[0].size, 0);
}

// The tree a reply would take is counted before it is built: past 4 bytes
// per reply byte and the allowance, the reply is too large, with the limit
// and the way to raise it in the message.
TEST_F(ReplyParse, AReplyWhoseTreeWouldPassTheParseBudgetIsRefusedBeforeItIsBuilt) {
  std::string tiny = std::string(kHead);
  for (int i = 0; i < 2000; ++i) tiny += "<a/>";
  tiny += kTail;
  std::string attributes = std::string(kHead) + "<FileSystem fileSystem=\"1\" name=\"fs1\"";
  for (int i = 0; i < 2000; ++i) attributes += " a" + std::to_string(i) + "=''";
  attributes += "/>" + std::string(kTail);
  setenv("sCELERRAPARSEALLOWANCE", "4096", 1);
  for (const std::string* reply : {&tiny, &attributes}) {
    Reading r = Read(*reply);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.kind, ERROR_KIND_REPLY_TOO_LARGE);
    EXPECT_NE(r.message.find("more than the parse limit of 4 times the reply's size plus 4096 bytes; the "
                             "configuration value sCELERRAPARSEALLOWANCE (bytes) raises it"),
              std::string::npos)
        << r.message;
  }
  Reading real = Read(WithName("fs1"));
  EXPECT_TRUE(real.ok) << real.message;
  // Marks inside a value build nothing: they must not count as elements or
  // attributes.
  std::string marked = WithName(std::string(3000, '='));
  marked.insert(marked.find("<FileSystem"), "<!--" + std::string(3000, '<') + "-->");
  Reading marks = Read(marked);
  EXPECT_TRUE(marks.ok) << marks.message;
  unsetenv("sCELERRAPARSEALLOWANCE");
  EXPECT_TRUE(Read(tiny).ok);
  EXPECT_TRUE(Read(attributes).ok);
}

// A response written as an integrator would: the base class reads the
// envelope, then the subclass reads its body from the reply text itself.
class BodyReadingResp : public celtest::EchoResp {
 public:
  BodyReadingResp() : EchoResp(1) {}
  bool UnSerializeXML() override {
    if (!CelerraXMLMessageResp::UnSerializeXML()) return false;
    body = m_sXML;
    return true;
  }
  std::string body;
};

TEST_F(ReplyParse, TheBaseParseLeavesTheReplyTextForASubclass) {
  std::string reply = std::string(kHead) + "<Echo value=\"x\"/>" + kTail;
  BodyReadingResp resp;
  resp.AppendXml(&reply[0], static_cast<unsigned long>(reply.size()));
  EXPECT_TRUE(resp.UnSerializeXML());
  EXPECT_EQ(resp.body, reply);
  EXPECT_TRUE(resp.CheckResponsePackage("Response"));
  EXPECT_EQ(resp.GetXml(), reply);
}

}  // namespace
