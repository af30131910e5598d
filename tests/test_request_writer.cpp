// The request writer and the reply walker on their own, one row per case:
// the exact bytes a request document is made of (its head, the three ways a
// packet ends, indentation as given, values escaped), the documents of
// requests of each indentation style as the server has always received them,
// and what the lookups built on the one reply walk find, in which order, and
// where the depth limit falls.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/MountMessages.h"
#include "messages/internal/RequestWriter.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

std::string Head(const std::string& attributes = std::string()) {
  return "<?xml version=\"1.0\"?>\n<RequestPacket xmlns=\"" + CelerraXMLNamespace() + "\"" + attributes + ">\n";
}

struct WriterCase {
  const char* what;
  std::function<std::string()> write;
  std::string expected;
};

TEST(RequestWriter, WritesEachPieceByteForByte) {
  const std::vector<WriterCase> cases = {
      {"an empty packet with a blank line after it", [] { return RequestWriter().Finish(PacketEnd::kBlankLine); },
       Head() + "</RequestPacket>\n\n"},
      {"the spaced end tag", [] { return RequestWriter().Finish(PacketEnd::kSpacedBlankLine); },
       Head() + "</RequestPacket >\n\n"},
      {"the end tag without a blank line", [] { return RequestWriter().Finish(PacketEnd::kLine); },
       Head() + "</RequestPacket>\n"},
      {"packet attributes as written",
       [] { return RequestWriter(" apiVersion=\"V1_1\"").Finish(PacketEnd::kBlankLine); },
       Head(" apiVersion=\"V1_1\"") + "</RequestPacket>\n\n"},
      {"tabs and blanks as given",
       [] {
         return RequestWriter()
             .Open("\t", "Request")
             .Open("    ", "Query")
             .Empty("\t\t", "Params")
             .Close("    ", "Query")
             .Close("\t", "Request")
             .Finish(PacketEnd::kBlankLine);
       },
       Head() + "\t<Request>\n    <Query>\n\t\t<Params/>\n    </Query>\n\t</Request>\n</RequestPacket>\n\n"},
      {"attributes and values escaped",
       [] {
         return RequestWriter()
             .Empty("", "Alias", XmlAttr("name", "a&b<c>\"d'"))
             .Line("", "<li>" + XmlEscape("x&y") + "</li>")
             .Finish(PacketEnd::kLine);
       },
       Head() + "<Alias name=\"a&amp;b&lt;c&gt;&quot;d&apos;\"/>\n<li>x&amp;y</li>\n</RequestPacket>\n"},
      {"lines written elsewhere go in untouched, without a line feed of their own",
       [] { return RequestWriter().Lines("\t<A>").Lines("</A>\n").Finish(PacketEnd::kLine); },
       Head() + "\t<A></A>\n</RequestPacket>\n"},
      {"the head and tail helpers the standard envelope uses",
       [] { return PacketHead(" x=\"1\"") + PacketTail(PacketEnd::kSpacedBlankLine); },
       Head(" x=\"1\"") + "</RequestPacket >\n\n"},
  };
  for (const WriterCase& c : cases) EXPECT_EQ(c.write(), c.expected) << c.what;
}

TEST(RequestWriter, FinishHandsTheDocumentOver) {
  RequestWriter writer;
  writer.Empty("", "A");
  EXPECT_EQ(writer.Finish(PacketEnd::kLine), Head() + "<A/>\n</RequestPacket>\n");
  EXPECT_EQ(writer.Finish(PacketEnd::kLine), "</RequestPacket>\n");
}

// Requests of each style, as the control station has always received them.
struct RequestCase {
  const char* what;
  std::function<std::string()> serialize;
  std::string expected;
};

template <class Req>
std::string Serialized(Req& request) {
  EXPECT_TRUE(request.SerializeXML());
  return request.GetSerializedXML();
}

TEST(RequestWriter, KeepsEachRequestsBytes) {
  const std::vector<RequestCase> cases = {
      {"mount query (tabs, no blank line)",
       [] {
         CelerraXMLGetFSMountPointsReq r(1);
         r.m_sMoverId = "1";
         r.m_sMoverIdIsVdm = "false";
         return Serialized(r);
       },
       Head() + "\t<Request>\n\t\t<Query>\n\t\t\t<MountQueryParams>\n\t\t\t\t<MoverOrVdm mover=\"1\" "
                "moverIdIsVdm=\"false\"/>\n"
                "\t\t\t</MountQueryParams>\n\t\t</Query>\n\t</Request>\n</RequestPacket>\n"},
      {"checkpoint query by name (tabs, spaced end)",
       [] {
         CelerraXMLGetChkPtInfoReq r(1);
         r.m_sChkPtName = "ck1";
         return Serialized(r);
       },
       Head() + "\t<Request>\n\t\t<Query>\n\t\t\t<CheckpointQueryParams>\n\t\t\t\t<Alias name=\"ck1\"/>\n"
                "\t\t\t</CheckpointQueryParams>\n\t\t</Query>\n\t</Request>\n</RequestPacket >\n\n"},
      {"every NFS export (blanks and tabs)",
       [] {
         CelerraXMLGetNFSInfoReq r(1);
         r.bAllShares = true;
         return Serialized(r);
       },
       Head() +
           "  <Request>\n    <Query>\n\t\t<NfsExportQueryParams/>\n    </Query>\n  </Request>\n</RequestPacket>\n\n"},
      {"NFS export removal (the task's odd end-tag indent)",
       [] {
         CelerraXMLDeleteNFSShareReq r(1);
         r.m_sShareName = "//ck1";
         r.m_sMoverId = "2";
         return Serialized(r);
       },
       Head() + "  <Request>\n    <StartTask timeout=\"600\">\n\t\t<DeleteNfsExport mover=\"2\" path=\"/ck1\"/>\n"
                "\t </StartTask>\n  </Request>\n</RequestPacket >\n\n"},
      {"storage pools (through the inventory document)",
       [] {
         CelerraXMLGetStgPoolsInfoReq r(1);
         return Serialized(r);
       },
       Head() +
           "  <Request>\n    <Query>\n\t\t<StoragePoolQueryParams/>\n    </Query>\n  </Request>\n</RequestPacket>\n\n"},
      {"restore (a task document)",
       [] {
         CelerraXMLRestorePFSFromChkPtReq r(1);
         r.m_sChkPtId = "40";
         return Serialized(r);
       },
       Head() + "\t<Request>\n\t\t<StartTask timeout=\"600\">\n\t\t\t<RestoreCheckpoint checkpoint=\"40\"/>\n"
                "\t\t</StartTask>\n\t</Request>\n</RequestPacket >\n\n"},
  };
  for (const RequestCase& c : cases) EXPECT_EQ(c.serialize(), c.expected) << c.what;
}

// ------------------------------------------------------------------ the walk

struct Parsed {
  ReplyDocument document;
  bool ok;
  explicit Parsed(std::string text) : ok(document.Parse(text)) {}
};

std::vector<std::string> Names(const std::vector<const XmlElement*>& elements) {
  std::vector<std::string> names;
  for (const XmlElement* e : elements) names.push_back(Attr(e, "n"));
  return names;
}

struct WalkCase {
  const char* what;
  const char* xml;
  std::function<std::vector<std::string>(const ReplyDocument&)> look;
  std::vector<std::string> expected;
};

TEST(ReplyWalk, EveryLookupSeesTheTreeInDocumentOrder) {
  const char* tree =
      "<r n=\"r\"><a n=\"1\"><b n=\"2\"><a n=\"3\"/></b>t1</a><c n=\"4\">t2<![CDATA[t3]]><a n=\"5\">t4</a></c></r>";
  const std::vector<WalkCase> cases = {
      {"elements by name, at any depth, in document order",
       tree,
       [](const ReplyDocument& d) { return Names(Elements(d.root(), "a")); },
       {"1", "3", "5"}},
      {"the element itself is not below itself",
       tree,
       [](const ReplyDocument& d) { return Names(Elements(d.root(), "r")); },
       {}},
      {"from the document node the root counts",
       tree,
       [](const ReplyDocument& d) { return Names(Elements(d.document(), "r")); },
       {"r"}},
      {"either of two names",
       tree,
       [](const ReplyDocument& d) { return Names(Elements(d.root(), "b", "c")); },
       {"2", "4"}},
      {"the first one only", tree, [](const ReplyDocument& d) { return Names({FirstElement(d.root(), "a")}); }, {"1"}},
      {"none: no first one",
       tree,
       [](const ReplyDocument& d) { return std::vector<std::string>{FirstElement(d.root(), "x") ? "found" : "none"}; },
       {"none"}},
      {"direct children only",
       tree,
       [](const ReplyDocument& d) { return Names(ChildElements(FirstElement(d.root(), "c"), "a")); },
       {"5"}},
      {"text and CDATA of everything below, in order",
       tree,
       [](const ReplyDocument& d) { return std::vector<std::string>{Text(d.root())}; },
       {"t1t2t3t4"}},
      {"own text without the children's",
       tree,
       [](const ReplyDocument& d) { return std::vector<std::string>{OwnText(FirstElement(d.root(), "c"))}; },
       {"t2t3"}},
      {"the elements of a list below one ancestor",
       tree,
       [](const ReplyDocument& d) { return Names(Below(Elements(d.root(), "a"), FirstElement(d.root(), "b"))); },
       {"3"}},
      {"null in, nothing out",
       tree,
       [](const ReplyDocument&) {
         return std::vector<std::string>{Text(nullptr), Attr(nullptr, "n")};
       },
       {"", ""}},
  };
  for (const WalkCase& c : cases) {
    Parsed p(c.xml);
    ASSERT_TRUE(p.ok) << c.what << ": " << p.document.error();
    EXPECT_EQ(c.look(p.document), c.expected) << c.what;
  }
}

// Nested `<e>` elements, `depth` deep, with `text` in the innermost.
std::string Nested(size_t depth, const std::string& text) {
  std::string out;
  for (size_t i = 0; i < depth; ++i) out += "<e>";
  out += text;
  for (size_t i = 0; i < depth; ++i) out += "</e>";
  return out;
}

TEST(ReplyWalk, TheDepthLimitCountsElementsAndTheirText) {
  const struct {
    const char* what;
    std::string xml;
    bool readable;
  } cases[] = {
      {"elements up to the limit", Nested(kMaxReplyDepth, ""), true},
      {"one element past it", Nested(kMaxReplyDepth + 1, ""), false},
      {"text one level inside the deepest allowed element's parent", Nested(kMaxReplyDepth - 1, "x"), true},
      {"text inside the deepest allowed element", Nested(kMaxReplyDepth, "x"), false},
  };
  for (const auto& c : cases) {
    Parsed p(c.xml);
    EXPECT_EQ(p.ok, c.readable) << c.what << ": " << p.document.error();
    if (!c.readable) {
      EXPECT_NE(p.document.error().find("levels deep"), std::string::npos) << c.what;
    }
  }
}

TEST(ReplyWalk, TheEnvelopeIsCollectedInTheSameWalk) {
  Parsed p(
      "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/><x><Fault/></x></Response>"
      "<Response/></ResponsePacket>");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.document.Envelope(ReplyDocument::kPacket).size(), 1u);
  EXPECT_EQ(p.document.Envelope(ReplyDocument::kResponse).size(), 2u);
  EXPECT_EQ(p.document.Envelope(ReplyDocument::kQueryStatus).size(), 1u);
  EXPECT_EQ(p.document.Envelope(ReplyDocument::kFault).size(), 1u);
  EXPECT_TRUE(p.document.Envelope(ReplyDocument::kTaskResponse).empty());
}

}  // namespace
