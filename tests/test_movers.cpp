// Movers, VDMs and CIFS servers: the query documents, the reply parses, the
// four lookups over HTTPS against the simulator. (celerractl's mover
// commands: test_cli_commands.cpp.)

#include <pugixml.hpp>

#include "messages/catalogue/MoverMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

// The body element of a request document as the simulator reads it.
pugi::xml_node Body(pugi::xml_document& doc, const std::string& xml) {
  EXPECT_TRUE(doc.load_string(xml.c_str())) << xml;
  return doc.child("RequestPacket").child("Request").child("Query").first_child();
}

template <class Resp>
bool Parse(Resp& resp, const std::string& reply) {
  std::string text = reply;
  resp.AppendXml(&text[0], text.size());
  return resp.UnSerializeXML();
}

std::string Reply(const std::string& body, const std::string& status = "<QueryStatus maxSeverity=\"ok\"/>") {
  return "<ResponsePacket><Response>" + status + body + "</Response></ResponsePacket>";
}

// ---------------------------------------------------------------- documents

TEST(MoverDocuments, MoverQueryAsksForEveryAspect) {
  ReqMoverQueryParams all(7);
  ASSERT_TRUE(all.SerializeXML());
  std::string xml = all.GetSerializedXML();
  pugi::xml_document doc;
  pugi::xml_node body = Body(doc, xml);
  EXPECT_FALSE(body.attribute("mover"));
  std::vector<std::string> order;
  for (pugi::xml_attribute a : body.child("AspectSelection").attributes()) order.push_back(a.name());
  EXPECT_EQ(order, (std::vector<std::string>{"movers", "moverDnsDomains", "moverInterfaces", "moverNetworkDevices",
                                             "moverNisDomains", "moverRoutes", "moverStatuses"}));
}

TEST(MoverDocuments, CifsQueriesNameTheirMover) {
  ReqCifsServerQueryParams servers(7);
  ASSERT_TRUE(servers.SerializeXML());
  pugi::xml_document d1;
  EXPECT_FALSE(Body(d1, servers.GetSerializedXML()).child("MoverOrVdm"));
  servers.m_sMoverId = "3";
  ASSERT_TRUE(servers.SerializeXML());
  pugi::xml_document d2;
  EXPECT_STREQ(Body(d2, servers.GetSerializedXML()).child("MoverOrVdm").attribute("mover").value(), "3");

  // The configuration query names its mover even when the id is empty.
  ReqCifsConfigQueryParams config(7);
  ASSERT_TRUE(config.SerializeXML());
  pugi::xml_document d3;
  pugi::xml_node target = Body(d3, config.GetSerializedXML()).child("MoverOrVdm");
  ASSERT_TRUE(target);
  EXPECT_TRUE(target.attribute("mover"));
  EXPECT_STREQ(target.attribute("moverIdIsVdm").value(), "false");
}

// ------------------------------------------------------------------ parses

TEST(MoverReplies, DevicesAreFilteredAndTheirAddressesSplit) {
  LogCapture log;
  RespMoverQueryParams resp(7);
  ASSERT_TRUE(Parse(resp, Reply("<Mover mover=\"1\" name=\"server_2\"/>"
                                "<MoverDnsDomain mover=\"1\" name=\"corp\" servers=\"a b\" protocol=\"udp\"/>"
                                "<LogicalNetworkDevice mover=\"1\" name=\"cge0\" interfaces=\"10.0.0.1 10.0.0.2\"/>"
                                "<LogicalNetworkDevice mover=\"1\" name=\"cge1\" interfaces=\"10.0.1.1  10.0.1.2\"/>"
                                "<LogicalNetworkDevice mover=\"1\" name=\"cge2\" interfaces=\"10.0.2.1 \"/>"
                                "<LogicalNetworkDevice mover=\"1\" name=\"cge3\" interfaces=\"\"/>"
                                "<LogicalNetworkDevice mover=\"1\" name=\"el30\" interfaces=\"10.9.9.9\"/>"
                                "<LogicalNetworkDevice mover=\"1\" name=\"fxg0\" interfaces=\"10.9.9.8\"/>")));
  EXPECT_TRUE(resp.m_bSuccess);
  ASSERT_EQ(resp.m_vLogicalNetworkDevices.size(), 3u);
  EXPECT_EQ(resp.m_vLogicalNetworkDevices[0].mover, "1");
  EXPECT_EQ(resp.m_vLogicalNetworkDevices[0].interfaces, (std::set<std::string>{"10.0.0.1", "10.0.0.2"}));
  // Two blanks in a row leave an empty piece; a trailing blank adds nothing.
  EXPECT_EQ(resp.m_vLogicalNetworkDevices[1].interfaces, (std::set<std::string>{"10.0.1.1", "", "10.0.1.2"}));
  EXPECT_EQ(resp.m_vLogicalNetworkDevices[2].interfaces, (std::set<std::string>{"10.0.2.1"}));
  EXPECT_TRUE(log.Contains("No interfaces found in the Logical Network Device OR invalid device [el30]."));
  EXPECT_TRUE(log.Contains("invalid device [cge3]."));
  ASSERT_EQ(resp.m_vMovers.size(), 1u);
  EXPECT_EQ(resp.m_vMovers[0].servers, "a b");
  EXPECT_EQ(resp.m_vMovers[0].protocol, "udp");
  EXPECT_EQ(resp.m_mMoverNames, (std::map<std::string, std::string>{{"1", "server_2"}}));
}

TEST(MoverReplies, VdmAndCifsServerBodies) {
  RespVdmQueryParams none(7);
  EXPECT_TRUE(Parse(none, Reply("")));
  EXPECT_TRUE(none.m_bSuccess);
  EXPECT_TRUE(none.m_mVdmNames.empty());

  RespVdmQueryParams vdms(7);
  EXPECT_TRUE(Parse(vdms, Reply("<Vdm vdm=\"3\" name=\"vdm_1\" mover=\"1\"><Interfaces/></Vdm>"
                                "<Vdm vdm=\"3\" name=\"vdm_1b\" mover=\"2\"/>")));
  EXPECT_EQ(vdms.m_mVdmNames.at("3"), "vdm_1b");
  EXPECT_EQ(vdms.m_mVdmMovers.at("3"), "2");

  // A ResponseEx is read like a Response.
  RespVdmQueryParams ex(7);
  EXPECT_TRUE(Parse(ex,
                    "<ResponsePacket><ResponseEx><QueryStatus maxSeverity=\"ok\"/>"
                    "<Vdm vdm=\"5\" name=\"vdm_5\" mover=\"2\"/></ResponseEx></ResponsePacket>"));
  EXPECT_EQ(ex.m_mVdmMovers.at("5"), "2");

  // A server without CIFS servers is a failed parse, and says so.
  RespCifsServerQueryParams empty(7);
  EXPECT_FALSE(Parse(empty, Reply("")));
  EXPECT_FALSE(empty.m_bSuccess);
  EXPECT_EQ(empty.GetLastError().m_eStatus, STATUS_ERROR);

  // Extra attributes and child elements (aliases) pass over.
  RespCifsServerQueryParams servers(7);
  EXPECT_TRUE(Parse(servers, Reply("<CifsServer mover=\"3\" moverIdIsVdm=\"true\" name=\"VDMCIFS\" "
                                   "interfaces=\"10.0.0.1,10.0.0.2\" type=\"W2K\" domain=\"corp\">"
                                   "<Aliases><li>ALIAS1</li></Aliases></CifsServer>")));
  ASSERT_EQ(servers.m_vCifsServers.size(), 1u);
  EXPECT_EQ(servers.m_vCifsServers[0].mover, "3");
  EXPECT_EQ(servers.m_vCifsServers[0].name, "VDMCIFS");
  EXPECT_EQ(servers.m_vCifsServers[0].interfaces, "10.0.0.1,10.0.0.2");
  EXPECT_EQ(servers.m_vCifsServers[0].moverIdIsVdm, "true");
}

// ---------------------------------------------------------------- lookups

class MoverTest : public SimTest {};

TEST_F(MoverTest, MoverNamesHoldMoversAndVdms) {
  auto facade = NewFacade();
  std::map<std::string, std::string> names = {{"old", "stale"}};
  ASSERT_TRUE(facade->GetMoverNames(names));
  EXPECT_EQ(names, (std::map<std::string, std::string>{{"1", "server_2"}, {"2", "server_3"}, {"3", "vdm_1"}}));
  EXPECT_EQ(Sent("MoverQueryParams").size(), 1u);
  EXPECT_EQ(Sent("VdmQueryParams").size(), 1u);
}

TEST_F(MoverTest, AVdmWithAMoversIdKeepsTheMoversName) {
  sim().WithModel([](celsim::Model& m) {
    celsim::Mover clash;
    clash.id = "2";
    clash.name = "vdm_clash";
    clash.isVdm = true;
    clash.hostMoverId = "1";
    m.movers.push_back(clash);
  });
  auto facade = NewFacade();
  std::map<std::string, std::string> names;
  ASSERT_TRUE(facade->GetMoverNames(names));
  EXPECT_EQ(names.at("2"), "server_3");
  EXPECT_EQ(names.at("3"), "vdm_1");
}

TEST_F(MoverTest, MoversWithoutDnsDomainsAreListedAndTheVdmsAsked) {
  sim().WithModel([](celsim::Model& m) {
    for (auto& mover : m.movers) mover.dnsDomains.clear();
  });
  auto facade = NewFacade();
  std::map<std::string, std::string> names;
  ASSERT_TRUE(facade->GetMoverNames(names));
  EXPECT_EQ(names.size(), 3u);
  EXPECT_EQ(Sent("VdmQueryParams").size(), 1u);
  std::set<std::string> aliases;
  EXPECT_TRUE(facade->GetAliasList("192.0.2.30", aliases));
  EXPECT_EQ(aliases, (std::set<std::string>{"192.0.2.30"}));
}

TEST_F(MoverTest, ARefusedMoverQuerySendsNoVdmQuery) {
  sim().AddFault(ProblemFault("MoverQueryParams", "13421842450", "movers unavailable"));
  auto facade = NewFacade();
  std::map<std::string, std::string> names;
  EXPECT_FALSE(facade->GetMoverNames(names));
  EXPECT_EQ(Sent("VdmQueryParams").size(), 0u);
  CelerraError e = facade->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "13421842450");
}

// Each refusal shape fails the lookup (test_fault_matrix).
TEST_F(MoverTest, ARefusedVdmQueryFailsWithItsReasonAndKeepsTheMovers) {
  sim().AddFault(ProblemFault("VdmQueryParams", "13421840385", "vdm list unavailable"));
  auto facade = NewFacade();
  std::map<std::string, std::string> names;
  EXPECT_FALSE(facade->GetMoverNames(names));
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "13421840385");
  // The movers read before the failure are kept.
  EXPECT_EQ(names.count("1"), 1u);
}

TEST_F(MoverTest, CifsServersOfAllOrOneMover) {
  auto facade = NewFacade();
  std::vector<CelerraCifsServer_t> servers(3);
  ASSERT_TRUE(facade->GetCifsServers(servers, ""));
  ASSERT_EQ(servers.size(), 2u);
  EXPECT_EQ(servers[0].name, "CIFS_SRV1");
  EXPECT_EQ(servers[0].mover, "1");
  EXPECT_EQ(servers[0].moverIdIsVdm, "false");
  EXPECT_EQ(servers[0].interfaces, "192.0.2.10");
  EXPECT_EQ(servers[1].name, "VDMCIFS");
  EXPECT_EQ(servers[1].moverIdIsVdm, "true");
  pugi::xml_document doc;
  EXPECT_FALSE(Body(doc, sim().Requests().back().body).child("MoverOrVdm"));

  ASSERT_TRUE(facade->GetCifsServers(servers, "3"));
  ASSERT_EQ(servers.size(), 1u);
  EXPECT_EQ(servers[0].name, "VDMCIFS");
}

TEST_F(MoverTest, CifsServerFailuresSayWhy) {
  auto facade = NewFacade();
  std::vector<CelerraCifsServer_t> servers(1);
  // Mover 2 runs no CIFS server.
  EXPECT_FALSE(facade->GetCifsServers(servers, "2"));
  EXPECT_EQ(servers.size(), 1u);
  EXPECT_EQ(facade->GetLastError1().m_eStatus, STATUS_ERROR);
  EXPECT_NE(facade->GetLastError1().m_sMessage.find("CifsServer"), std::string::npos);
}

// The addresses of the same data port; one only on a device that carries no
// data is not found (code 3), and a later success clears the code.
TEST_F(MoverTest, AliasesAreTheAddressesOfTheSameDataPort) {
  LogCapture log;
  auto facade = NewFacade();
  std::set<std::string> aliases = {"stale"};
  ASSERT_TRUE(facade->GetAliasList("192.0.2.11", aliases));
  EXPECT_EQ(aliases, (std::set<std::string>{"192.0.2.10", "192.0.2.11"}));
  EXPECT_FALSE(facade->GetAliasList("198.51.100.2", aliases));
  EXPECT_EQ(facade->m_ErrorCode, 3);
  EXPECT_EQ(aliases, (std::set<std::string>{"192.0.2.10", "192.0.2.11"}));
  EXPECT_TRUE(log.Contains("Interface ip [198.51.100.2] not found in file server"));
  EXPECT_EQ(facade->GetLastError1().m_eStatus, STATUS_ERROR);
  ASSERT_TRUE(facade->GetAliasList("192.0.2.20", aliases));
  EXPECT_EQ(aliases, (std::set<std::string>{"192.0.2.20"}));
  EXPECT_EQ(facade->m_ErrorCode, 0);
}

TEST_F(MoverTest, ARefusedLoginLeavesCode2) {
  sim().AddFault(KindFault(celsim::FaultKind::RefuseLogin));
  auto facade = NewFacade();
  std::set<std::string> aliases;
  EXPECT_FALSE(facade->GetAliasList("192.0.2.10", aliases));
  EXPECT_EQ(facade->m_ErrorCode, 2);
  EXPECT_TRUE(sim().Requests().empty());
}

TEST_F(MoverTest, ARefusedMoverQueryKeepsTheServersReasonForAliases) {
  sim().AddFault(ProblemFault("MoverQueryParams", "77", "busy"));
  auto facade = NewFacade();
  std::set<std::string> aliases;
  EXPECT_FALSE(facade->GetAliasList("192.0.2.10", aliases));
  EXPECT_EQ(facade->m_ErrorCode, 0);
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "77");
}

TEST_F(MoverTest, MoverForVdmThrowsWhenItCannotTell) {
  auto facade = NewFacade();
  auto thrown = [&](const std::string& vdm) {
    std::string mover = "untouched";
    try {
      facade->GetMoverForVdm(vdm, mover);
    } catch (int code) {
      EXPECT_EQ(mover, "untouched");
      return code;
    }
    return 0;
  };
  // Unknown to the server.
  EXPECT_EQ(thrown("99"), 1);
  // A reply that does not list the VDM asked for.
  sim().AddFault(CannedFault("VdmQueryParams", Reply("<Vdm vdm=\"4\" name=\"other\" mover=\"2\"/>")));
  EXPECT_EQ(thrown("3"), 1);
  // And then it works again.
  std::string mover;
  EXPECT_TRUE(facade->GetMoverForVdm("3", mover));
  EXPECT_EQ(mover, "1");
  pugi::xml_document doc;
  EXPECT_STREQ(Body(doc, sim().Requests().back().body).attribute("vdm").value(), "3");
}

TEST_F(MoverTest, MoverHostAndCifsConfigurationQueries) {
  auto facade = NewFacade();
  ReqMoverHostQueryParams hosts(7);
  RespMoverHostQueryParams hostsResp(7);
  sim().ClearJournal();
  EXPECT_TRUE(facade->ProcessRequestAndResponse(hosts, hostsResp, EvDebug::LVL_ERROR));
  ASSERT_EQ(sim().Requests().size(), 1u);
  EXPECT_NE(sim().Requests()[0].reply.find("MoverHost"), std::string::npos);

  ReqCifsConfigQueryParams config(7, "3", true);
  RespCifsConfigQueryParams configResp(7);
  EXPECT_TRUE(configResp.GetLastError().m_eStatus == STATUS_OK);
  EXPECT_TRUE(facade->ProcessRequestAndResponse(config, configResp, EvDebug::LVL_ERROR));

  ReqCifsConfigQueryParams unknown(7, "", false);
  RespCifsConfigQueryParams unknownResp(7);
  EXPECT_FALSE(facade->ProcessRequestAndResponse(unknown, unknownResp, EvDebug::LVL_ERROR));
  EXPECT_EQ(facade->GetLastError1().m_eStatus, STATUS_ERROR);
}

}  // namespace
