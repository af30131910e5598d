// Storage pools and iSCSI LUNs: the reply parses and the inventory
// operations against the simulator. (celerractl's pool and
// lun commands: test_cli_commands.cpp.)

#include "messages/catalogue/StorageMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

template <class Resp>
bool Parse(Resp& resp, const std::string& reply) {
  std::string text = reply;
  resp.AppendXml(&text[0], text.size());
  return resp.UnSerializeXML();
}

std::string Reply(const std::string& body, const char* response = "Response") {
  return std::string("<ResponsePacket><") + response + "><QueryStatus maxSeverity=\"ok\"/>" + body + "</" + response +
         "></ResponsePacket>";
}

// ------------------------------------------------------------------ parses

TEST(StorageReplies, PoolFieldsAndMoverLists) {
  LogCapture log;
  CelerraXMLGetStgPoolsInfoResp resp(7);
  ASSERT_TRUE(Parse(resp, Reply("<StoragePool pool=\"40\" name=\"p1\" size=\"17592186044416\" "
                                "usedSize=\"4398046511104\" movers=\"1 2\"><Extra/></StoragePool>"
                                "<StoragePool pool=\"x\" name=\"p2\" size=\"\" movers=\"\"/>"
                                "<StoragePool pool=\"42\" name=\"p3\" size=\"1\" movers=\"1  2 \"/>")));
  EXPECT_TRUE(resp.IsSuccess());
  std::vector<CelerraStgPoolInfo_t> pools(5);
  resp.GetStgPoolsInfo(pools);
  ASSERT_EQ(pools.size(), 3u);
  EXPECT_EQ(pools[0].pool, 40);
  EXPECT_EQ(pools[0].name, "p1");
  EXPECT_EQ(pools[0].size, 17592186044416LL);
  EXPECT_EQ(pools[0].usedSize, 4398046511104LL);
  EXPECT_EQ(pools[0].movers, (std::vector<std::string>{"1", "2"}));
  // Text that is not a number reads as 0; an empty list stays empty.
  EXPECT_EQ(pools[1].pool, 0);
  EXPECT_EQ(pools[1].size, 0);
  EXPECT_TRUE(pools[1].movers.empty());
  EXPECT_EQ(pools[2].movers, (std::vector<std::string>{"1", "", "2"}));
  EXPECT_TRUE(log.Contains("Found 3 stg pools"));

  CelerraXMLGetStgPoolsInfoResp none(7);
  EXPECT_TRUE(Parse(none, Reply("")));
  EXPECT_TRUE(none.IsSuccess());
}

TEST(StorageReplies, LunsInResponseEx) {
  CelerraXMLGetLunInfoResp resp(7);
  ASSERT_TRUE(Parse(resp,
                    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
                    "<ResponsePacket xmlns=\"urn:x\">\n  <ResponseEx>\n    <QueryStatus maxSeverity = \"ok\"/>\n"
                    "    <IscsiLun name=\"lun1\" lun=\"7\" size=\"8796093022208\" fileSystem=\"21\" target=\"t\"/>\n"
                    "    <IscsiLun name=\"lun2\" size=\"10\" fileSystem=\"22\"/>\n  </ResponseEx>\n</ResponsePacket>"));
  std::vector<CelerraLunInfo_t> luns;
  resp.GetLunsInfo(luns);
  ASSERT_EQ(luns.size(), 2u);
  EXPECT_EQ(luns[0].name, "lun1");
  EXPECT_EQ(luns[0].lun, 7);
  EXPECT_EQ(luns[0].size, 8796093022208LL);
  EXPECT_EQ(luns[0].fileSystem, kFs1);
  EXPECT_EQ(luns[1].lun, 0);
}

TEST(StorageReplies, AFailedStatusStopsBeforeTheBody) {
  CelerraXMLGetLunInfoResp resp(7);
  EXPECT_FALSE(Parse(resp,
                     "<ResponsePacket><ResponseEx><QueryStatus maxSeverity=\"error\"><Problem messageCode=\"5\" "
                     "message=\"no iSCSI\"/></QueryStatus><IscsiLun name=\"lun1\" size=\"1\"/></ResponseEx>"
                     "</ResponsePacket>"));
  EXPECT_FALSE(resp.IsSuccess());
  std::vector<CelerraLunInfo_t> luns;
  resp.GetLunsInfo(luns);
  EXPECT_TRUE(luns.empty());
  EXPECT_EQ(resp.GetLastError().m_sMessageCode, "5");
}

// -------------------------------------------------------------- inventory

class StorageTest : public SimTest {};

TEST_F(StorageTest, AServerWithoutPools) {
  sim().WithModel([](celsim::Model& m) { m.pools.clear(); });
  auto facade = NewFacade();
  std::vector<CelerraStgPoolInfo_t> pools(2);
  EXPECT_TRUE(facade->GetStgPoolInfo(pools));
  EXPECT_TRUE(pools.empty());
}

TEST_F(StorageTest, LunsComeBackInResponseEx) {
  sim().WithModel([](celsim::Model& m) {
    m.luns.push_back({"2", "iqn.1992-05.com.example:target1", kFs2, "2", 4503599627370496LL, "/fs2/big"});
  });
  auto facade = NewFacade();
  std::vector<CelerraLunInfo_t> luns(1);
  ASSERT_TRUE(facade->GetLunInfo(luns));
  ASSERT_EQ(luns.size(), 2u);
  EXPECT_EQ(luns[0].name, "lun1");
  EXPECT_EQ(luns[0].lun, 1);
  EXPECT_EQ(luns[0].size, 5368709120LL);
  EXPECT_EQ(luns[0].fileSystem, kFs1);
  EXPECT_EQ(luns[1].size, 4503599627370496LL);
  auto requests = sim().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_NE(requests[0].body.find("<RequestEx>"), std::string::npos);
  EXPECT_NE(requests[0].reply.find("<ResponseEx"), std::string::npos);
}

}  // namespace
