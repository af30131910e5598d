// The request writer on its own, one row per case: the exact bytes a request
// document is made of (its head, the three ways a packet ends, indentation as
// given, values escaped), and the documents of requests of each indentation
// style as the server has always received them. (The reply walk's lookups
// and depth limit: test_messages_internal.cpp.)
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/MountMessages.h"
#include "messages/internal/RequestWriter.h"
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

}  // namespace
