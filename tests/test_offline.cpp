// Offline archiving: the DHSM, HTTP-feature and location messages, and
// ConfigureFilerForOffLineServer against the simulated control station:
// share parsing, which exchanges it sends, retries and pauses, the mended
// faults, and that the archive password never shows anywhere.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "messages/catalogue/DhsmMessages.h"
#include "messages/catalogue/HttpFeatureMessages.h"
#include "platform/CTuIPAddr.h"
#include "sim/DataFile.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

const char kArchivePassword[] = "Ark&v<P4ss\"w0rd";
const char kArchivePasswordEscaped[] = "Ark&amp;v&lt;P4ss&quot;w0rd";

std::string TestResolver(const std::string& host) {
  if (host == "arkiv1") return "192.0.2.50";
  if (host == "archive.corp.example") return "192.0.2.200";  // already allowed on mover 1
  if (host == "nowhere") return "0.0.0.0";
  return std::string();
}

// Replies to feed straight into a response's parse.
std::string Reply(const std::string& inner, const char* response = "Response") {
  return std::string("<ResponsePacket><") + response + ">" + inner + "</" + response + "></ResponsePacket>";
}

bool Parse(CelerraXMLMessageResp& resp, std::string text) {
  resp.AppendXml(&text[0], text.size());
  return resp.UnSerializeXML();
}

// ------------------------------------------------------------------ messages

TEST(DhsmMessages, NewCifsConnectionCarriesAdminInfoOnlyWithAUserName) {
  LogCapture log;
  ReqNewCifsDhsmConnection noUser(1, kFs1, "CIFS_SRV1", "stubs", "arkiv1", "", "", "1");
  ASSERT_TRUE(noUser.SerializeXML());
  EXPECT_EQ(noUser.GetSerializedXML().find("AdminInfo"), std::string::npos);
  EXPECT_TRUE(log.Contains("UserName is empty.  This XML msg requires user name and password."));

  ReqNewCifsDhsmConnection noPassword(1, kFs1, "CIFS_SRV1", "stubs", "arkiv1", "arcuser", "", "1");
  ASSERT_TRUE(noPassword.SerializeXML());
  std::string x = noPassword.GetSerializedXML();
  EXPECT_NE(x.find("<AdminInfo userName=\"arcuser\" ></AdminInfo>"), std::string::npos) << x;
  EXPECT_EQ(x.find("password"), std::string::npos);
}

TEST(DhsmMessages, RequestsWithAPasswordAreNeverLoggedAndValuesAreEscaped) {
  LogCapture log;
  ReqNewCifsDhsmConnection create(1, kFs1, "CIFS_SRV1", "a&b\"c", "arkiv1", "arcuser", kArchivePassword, "1");
  EXPECT_TRUE(create.IsSensitive());
  ASSERT_TRUE(create.SerializeXML());
  EXPECT_NE(create.GetSerializedXML().find("share=\"a&amp;b&quot;c\""), std::string::npos);
  EXPECT_NE(create.GetSerializedXML().find(std::string("password=\"") + kArchivePasswordEscaped + "\""),
            std::string::npos);

  ReqModifyCifsDhsmConnection modify(1, kFs1, "7", "CIFS_SRV1", "arcuser", kArchivePassword, "full", "", "");
  EXPECT_TRUE(modify.IsSensitive());
  ASSERT_TRUE(modify.SerializeXML());
  ReqModifyCifsDhsmConnection noPassword(1, kFs1, "7", "CIFS_SRV1", "", "", "full", "", "");
  EXPECT_FALSE(noPassword.IsSensitive());

  for (const auto& line : log.Lines()) {
    EXPECT_EQ(line.find("P4ss"), std::string::npos) << line;
    EXPECT_EQ(line.find("m_sSerializedXML"), std::string::npos) << line;
  }
}

TEST(HttpFeatureMessages, UsersElementFollowsTheUsersText) {
  ReqModifyHTTPFeatureUsersandHosts any(1, "1", "192.0.2.50", "AnyUser", "append", "dhsm");
  ASSERT_TRUE(any.SerializeXML());
  EXPECT_NE(any.GetSerializedXML().find("<AnyUser></AnyUser>"), std::string::npos);
  EXPECT_EQ(any.GetSerializedXML().find("<Users>"), std::string::npos);
  ReqModifyHTTPFeatureUsersandHosts none(1, "1", "192.0.2.50", "", "append", "dhsm");
  ASSERT_TRUE(none.SerializeXML());
  EXPECT_EQ(none.GetSerializedXML().find("AnyUser"), std::string::npos);
  EXPECT_EQ(none.GetSerializedXML().find("<Users>"), std::string::npos);
  ReqModifyHTTPFeatureUsersandHosts one(1, "1", "192.0.2.50", "dom\\u<1>", "append", "dhsm");
  ASSERT_TRUE(one.SerializeXML());
  EXPECT_NE(one.GetSerializedXML().find("<Users><li>dom\\u&lt;1&gt;</li></Users>"), std::string::npos);
}

TEST(DhsmMessages, ConnectionQueryReplyReadsBothKinds) {
  RespDhsmConnectionQueryParams resp(1);
  ASSERT_TRUE(
      Parse(resp, Reply("<QueryStatus maxSeverity=\"ok\"/>"
                        "<DhsmConnectionConfig connection=\"1\" fileSystem=\"21\" setting=\"enabled\">"
                        "<CifsData localServer=\"S\"><SecondaryLocation hostFqn=\"h1\" share=\"p1\"/></CifsData>"
                        "</DhsmConnectionConfig>"
                        "<DhsmConnectionConfig connection=\"2\"><CifsData localServer=\"S\"/></DhsmConnectionConfig>"
                        "<DhsmConnectionConfig connection=\"3\"><HttpData cgi=\"True\">"
                        "<SecondaryLocation host=\"h3\" share=\"/p3\"/></HttpData></DhsmConnectionConfig>"
                        "<DhsmConnectionConfig connection=\"4\" writePolicy=\"full\"/>")));
  ASSERT_EQ(resp.m_vConnections.size(), 4u);
  EXPECT_EQ(resp.m_vConnections[0].secondaryLocation.host, "h1");
  EXPECT_EQ(resp.m_vConnections[0].secondaryLocation.share, "p1");
  EXPECT_EQ(resp.m_vConnections[0].localServer, "S");
  EXPECT_EQ(resp.m_vConnections[1].secondaryLocation.host, "");
  EXPECT_EQ(resp.m_vConnections[2].secondaryLocation.host, "h3");
  EXPECT_FALSE(resp.m_vConnections[2].cgi);  // "True" is not "true"
  EXPECT_EQ(resp.m_vConnections[3].writePolicy, "full");

  RespDhsmConnectionQueryParams empty(1);
  EXPECT_FALSE(Parse(empty, Reply("<QueryStatus maxSeverity=\"ok\"/>")));
}

TEST(HttpFeatureMessages, RepliesReadListsInDocumentOrder) {
  RespMoverHttpFeatureQueryParams feature(1);
  ASSERT_TRUE(
      Parse(feature, Reply("<MoverHttpFeature mover=\"1\" port=\"5080\" validHosts=\" a  b c \"/>", "ResponseEx")));
  ASSERT_EQ(feature.m_vMoversConfig.size(), 1u);
  EXPECT_EQ(feature.m_vMoversConfig[0].validHostList, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(feature.m_vMoversConfig[0].validHosts, " a  b c ");

  RespFileSystemLocationQueryParams location(1);
  ASSERT_TRUE(Parse(location, Reply("<FileSystemLocation mover=\"1\" fileSystem=\"21\" path=\"/fs1\"/>"
                                    "<FileSystemLocation mover=\"2\" fileSystem=\"22\" path=\"/fs2\"/>",
                                    "ResponseEx")));
  ASSERT_EQ(location.m_vLocations.size(), 2u);
  EXPECT_EQ(location.m_vLocations[0].fileSystem, kFs1);
  EXPECT_EQ(location.m_vLocations[1].path, "/fs2");
}

// ------------------------------------------------------------------ operation

class OfflineTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    CTuIPAddr::SetResolverForTesting(&TestResolver);
    m_Sleep.reset(new SleepRecorder());
  }
  void TearDown() override {
    m_Sleep.reset();
    CTuIPAddr::SetResolverForTesting(nullptr);
    SimTest::TearDown();
  }

  bool Configure(ManageCelerra& facade, const std::string& filer, const std::string& archive, bool skipLookup = false,
                 bool offline = false) {
    return facade.ConfigureFilerForOffLineServer(filer, archive, "arcuser", kArchivePassword, skipLookup, offline,
                                                 false);
  }
  bool Configure(const std::string& filer, const std::string& archive, bool skipLookup = false, bool offline = false) {
    auto facade = NewFacade();
    return Configure(*facade, filer, archive, skipLookup, offline);
  }

  // The next `count` requests of `type` (-1: all) fail with HTTP 500.
  void Http500(const char* type, int count) { sim().AddFault(KindFault(celsim::FaultKind::Http500, type, count)); }

  std::vector<celsim::DhsmConnection> ConnectionsOf(const std::string& fsId) {
    return sim().WithModel([&](celsim::Model& m) {
      std::vector<celsim::DhsmConnection> out;
      for (const auto& c : m.dhsmConnections)
        if (c.fsId == fsId) out.push_back(c);
      return out;
    });
  }
  std::vector<std::string> ValidHosts(const std::string& mover) {
    return sim().WithModel([&](celsim::Model& m) { return m.FindMover(mover)->httpValidHosts; });
  }

  std::unique_ptr<SleepRecorder> m_Sleep;
};

TEST_F(OfflineTest, CreatesTheConnectionAndAllowsTheArchiveAddress) {
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  auto conns = ConnectionsOf(kFs1);
  ASSERT_EQ(conns.size(), 3u);  // the two of the dataset and the new one
  EXPECT_EQ(conns.back().server, "arkiv1");
  EXPECT_EQ(conns.back().share, "stubs");
  EXPECT_EQ(conns.back().localServer, "CIFS_SRV1");
  EXPECT_EQ(conns.back().user, "arcuser");
  EXPECT_EQ(ValidHosts("1"), (std::vector<std::string>{"192.0.2.200", "192.0.2.50"}));
  auto location = Sent("FileSystemLocationQueryParams");
  ASSERT_EQ(location.size(), 1u);
  EXPECT_NE(location[0].body.find("url=\"cifs://CIFS_SRV1/fs1share\""), std::string::npos);
  EXPECT_TRUE(SleepRecorder::Pauses().empty());

  // Run again: the connection is found and updated; the address is there.
  sim().ClearJournal();
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  EXPECT_EQ(Sent("NewCifsDhsmConnection").size(), 0u);
  auto modify = Sent("ModifyCifsDhsmConnection");
  ASSERT_EQ(modify.size(), 1u);
  EXPECT_NE(modify[0].body.find("connection=\"" + conns.back().id + "\""), std::string::npos);
  EXPECT_EQ(Sent("ModifyHttpFeatureUsersAndHosts").size(), 0u);
  EXPECT_EQ(ConnectionsOf(kFs1).size(), 3u);
}

TEST_F(OfflineTest, ShareParsing) {
  // Backslashes are forward slashes; the archive share keeps its sub-path.
  ASSERT_TRUE(Configure("\\\\CIFS_SRV1\\fs1share", "\\\\arkiv1\\stubs\\deep"));
  auto location = Sent("FileSystemLocationQueryParams");
  ASSERT_EQ(location.size(), 1u);
  EXPECT_NE(location[0].body.find("url=\"cifs://CIFS_SRV1/fs1share\""), std::string::npos);
  auto create = Sent("NewCifsDhsmConnection");
  ASSERT_EQ(create.size(), 1u);
  EXPECT_NE(create[0].body.find("share=\"stubs/deep\" host=\"arkiv1\""), std::string::npos) << create[0].body;
  EXPECT_NE(create[0].body.find("localServer=\"CIFS_SRV1\""), std::string::npos);

  // A URL is used as given, and its server is still the local server.
  sim().ClearJournal();
  ASSERT_TRUE(Configure("cifs://CIFS_SRV1/fs1share", "//arkiv1/other", true));
  location = Sent("FileSystemLocationQueryParams");
  ASSERT_EQ(location.size(), 1u);
  EXPECT_NE(location[0].body.find("url=\"cifs://CIFS_SRV1/fs1share\""), std::string::npos);
  create = Sent("NewCifsDhsmConnection");
  ASSERT_EQ(create.size(), 1u);
  EXPECT_NE(create[0].body.find("localServer=\"CIFS_SRV1\""), std::string::npos) << create[0].body;

  // An archive share without a leading "//" names no server: nothing is sent.
  sim().ClearJournal();
  LogCapture log;
  auto facade = NewFacade();
  EXPECT_FALSE(Configure(*facade, "//CIFS_SRV1/fs1share", "arkiv1/stubs"));
  EXPECT_TRUE(log.Contains("Could not get ARKIV server from arkiv1/stubs"));
  EXPECT_TRUE(sim().Journal().empty());
  EXPECT_NE(facade->GetLastError1().m_sMessage.find("no archive server"), std::string::npos);
}

TEST_F(OfflineTest, ArchiveServerWithoutShareIsRefusedByTheServer) {
  LogCapture log;
  auto facade = NewFacade();
  EXPECT_FALSE(Configure(*facade, "//CIFS_SRV1/fs1share", "//arkiv1"));
  auto create = Sent("NewCifsDhsmConnection");
  ASSERT_EQ(create.size(), 9u);
  EXPECT_NE(create[0].body.find("share=\"\" host=\"arkiv1\""), std::string::npos);
  EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>(8, 15000));
  EXPECT_EQ(log.Count("Task was sent successfully to add new connection"), 0u);
  EXPECT_TRUE(log.Contains("Failed to submit reqest to create new cifs connection for //arkiv1"));
  EXPECT_EQ(facade->GetLastError1().m_sMessage.find("The secondary share is required"), 0u);
  EXPECT_EQ(Sent("ModifyHttpFeatureUsersAndHosts").size(), 0u);
}

// The dataset's fs1 links to //archive.corp.example/fs1stubs, whose address
// (192.0.2.200) mover 1 allows already: another share there is a new
// connection and no change to the allowed hosts; the same share is the
// connection modified; without the lookup no query is sent.
TEST_F(OfflineTest, SameHostOtherShareGetsANewConnection) {
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//archive.corp.example/otherstubs"));
  EXPECT_EQ(Sent("DhsmConnectionQueryParams").size(), 1u);
  EXPECT_EQ(Sent("ModifyCifsDhsmConnection").size(), 0u);
  ASSERT_EQ(Sent("NewCifsDhsmConnection").size(), 1u);
  EXPECT_EQ(ConnectionsOf(kFs1).back().share, "otherstubs");
  EXPECT_EQ(Sent("MoverHttpFeatureQueryParams").size(), 1u);
  EXPECT_EQ(Sent("ModifyHttpFeatureUsersAndHosts").size(), 0u);
  EXPECT_EQ(ValidHosts("1"), (std::vector<std::string>{"192.0.2.200"}));

  sim().ClearJournal();
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//archive.corp.example/fs1stubs"));
  auto modify = Sent("ModifyCifsDhsmConnection");
  ASSERT_EQ(modify.size(), 1u);
  EXPECT_NE(modify[0].body.find("connection=\"1\""), std::string::npos);

  sim().ClearJournal();
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//archive.corp.example/thirdstubs", true));
  EXPECT_EQ(Sent("DhsmConnectionQueryParams").size(), 0u);
  EXPECT_EQ(Sent("NewCifsDhsmConnection").size(), 1u);
}

TEST_F(OfflineTest, EmptyLocationListIsRetriedAtOnceNineTimes) {
  LogCapture log;
  EXPECT_FALSE(Configure("//CIFS_SRV1/nosuchshare", "//arkiv1/stubs"));
  EXPECT_EQ(Sent("FileSystemLocationQueryParams").size(), 9u);
  EXPECT_EQ(sim().Requests().size(), 9u);
  EXPECT_TRUE(SleepRecorder::Pauses().empty());
  EXPECT_EQ(log.Count("Could not find filesystem associated with URL cifs://CIFS_SRV1/nosuchshare!!!"), 9u);
}

// A location record without a file-system id locates nothing: the
// connection query would go out without its filter.
TEST_F(OfflineTest, ALocationWithoutAFileSystemIdIsNotFound) {
  LogCapture log;
  sim().AddHandler("FileSystemLocationQueryParams", [](celsim::Model&, const celsim::SimRequest&) {
    return celsim::Outcome::Ok("<FileSystemLocation mover=\"1\" path=\"/fs1\"/>");
  });
  auto facade = NewFacade();
  EXPECT_FALSE(Configure(*facade, "//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  EXPECT_EQ(Sent("FileSystemLocationQueryParams").size(), 9u);
  EXPECT_EQ(Sent("DhsmConnectionQueryParams").size(), 0u);
  EXPECT_EQ(Sent("NewCifsDhsmConnection").size(), 0u);
  CelerraError e = facade->GetLastError1();
  EXPECT_EQ(e.m_eKind, ERROR_KIND_NOT_FOUND);
  EXPECT_NE(e.m_sMessage.find("no file system found behind the share URL cifs://CIFS_SRV1/fs1share"), std::string::npos)
      << e.m_sMessage;

  // A record that has one is used, wherever it stands in the list.
  sim().AddHandler("FileSystemLocationQueryParams", [](celsim::Model&, const celsim::SimRequest&) {
    return celsim::Outcome::Ok(
        "<FileSystemLocation mover=\"1\" path=\"/fs1\"/>"
        "<FileSystemLocation mover=\"1\" fileSystem=\"21\" path=\"/fs1\"/>");
  });
  sim().ClearJournal();
  EXPECT_TRUE(Configure(*facade, "//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  auto query = Sent("DhsmConnectionQueryParams");
  ASSERT_EQ(query.size(), 1u);
  EXPECT_NE(query[0].body.find("fileSystem=\"21\""), std::string::npos) << query[0].body;
}

// A connection of another file system to the same archive share is not
// this file system's: it is left alone and a new one is made.
TEST_F(OfflineTest, AnotherFileSystemsConnectionIsNotModified) {
  sim().AddHandler("DhsmConnectionQueryParams", [](celsim::Model&, const celsim::SimRequest&) {
    return celsim::Outcome::Ok(
        "<DhsmConnectionConfig connection=\"77\" fileSystem=\"99\" readPolicyOverride=\"full\">"
        "<CifsData localServer=\"CIFS_SRV1\"><SecondaryLocation hostFqn=\"arkiv1\" share=\"stubs\"/></CifsData>"
        "</DhsmConnectionConfig>");
  });
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  EXPECT_EQ(Sent("ModifyCifsDhsmConnection").size(), 0u);
  auto create = Sent("NewCifsDhsmConnection");
  ASSERT_EQ(create.size(), 1u);
  EXPECT_NE(create[0].body.find("fileSystem=\"21\""), std::string::npos);
}

TEST_F(OfflineTest, OfflineAttributeOnlyWhenAsked) {
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  EXPECT_EQ(Sent("ModifyFileSystemDhsm").size(), 0u);
  EXPECT_EQ(sim().WithModel([](celsim::Model& m) { return m.dhsmOfflineAttr[kFs1]; }), "false");

  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs", false, true));
  EXPECT_EQ(Sent("ModifyFileSystemDhsm").size(), 1u);
  EXPECT_EQ(sim().WithModel([](celsim::Model& m) { return m.dhsmOfflineAttr[kFs1]; }), "true");
}

TEST_F(OfflineTest, RefusedOfflineAttributeDoesNotStopTheConfiguration) {
  sim().AddFault(ProblemFault("ModifyFileSystemDhsm", "501", "busy"));
  LogCapture log;
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs", false, true));
  EXPECT_EQ(Sent("ModifyFileSystemDhsm").size(), 1u);  // one attempt, no retry
  EXPECT_TRUE(log.Contains("-Warn--: Could not set offline attr option on FileSystem 21"));
  EXPECT_EQ(Sent("ModifyHttpFeatureUsersAndHosts").size(), 1u);
}

TEST_F(OfflineTest, UnresolvableArchiveServerChangesNothing) {
  LogCapture log;
  auto facade = NewFacade();
  EXPECT_FALSE(Configure(*facade, "//CIFS_SRV1/fs1share", "//unknown-host/stubs"));
  EXPECT_TRUE(sim().Journal().empty());
  EXPECT_TRUE(log.Contains("Unable to resolve ARKIV server unknown-host"));
  EXPECT_NE(facade->GetLastError1().m_sMessage.find("unknown-host"), std::string::npos);
  EXPECT_EQ(ConnectionsOf(kFs1).size(), 2u);

  // An address that names no host is no better.
  EXPECT_FALSE(Configure(*facade, "//CIFS_SRV1/fs1share", "//nowhere/stubs"));
  EXPECT_TRUE(sim().Journal().empty());
  EXPECT_EQ(ValidHosts("1"), (std::vector<std::string>{"192.0.2.200"}));
}

// The HTTP kind and the delete task: no operation sends them, callers may.
TEST_F(OfflineTest, HttpConnectionLifecycleThroughTheGeneralExchange) {
  auto facade = NewFacade();
  ReqNewHttpDhsmConnection create;
  create.m_FileSystemId = kFs10;
  create.m_Host = "web.corp.example";
  create.m_Port = "8080";
  create.m_Path = "/dhsm/fs10";
  create.m_Cgi = "true";
  create.m_VendorId = "1";
  RespNewHttpDhsmConnection created;
  ASSERT_TRUE(facade->ProcessRequestAndResponse(create, created, EvDebug::LVL_ERROR));

  ReqDhsmConnectionQueryParams query(7, kFs10, "");
  RespDhsmConnectionQueryParams listed(7);
  ASSERT_TRUE(facade->ProcessRequestAndResponse(query, listed, EvDebug::LVL_ERROR));
  ASSERT_EQ(listed.m_vConnections.size(), 1u);
  const auto& c = listed.m_vConnections[0];
  EXPECT_TRUE(c.cgi);
  EXPECT_EQ(c.secondaryLocation.host, "web.corp.example");
  EXPECT_EQ(c.secondaryLocation.share, "/dhsm/fs10");

  ReqModifyHttpDhsmConnection modify;
  modify.m_FileSystemId = kFs10;
  modify.m_ConnectionId = c.connection;
  modify.m_Setting = "disabled";
  modify.m_ReadPolicyOverride = "passthrough";
  RespModifyHttpDhsmConnection modified;
  ASSERT_TRUE(facade->ProcessRequestAndResponse(modify, modified, EvDebug::LVL_ERROR));
  RespDhsmConnectionQueryParams again(7);
  ASSERT_TRUE(facade->ProcessRequestAndResponse(query, again, EvDebug::LVL_ERROR));
  ASSERT_EQ(again.m_vConnections.size(), 1u);
  EXPECT_EQ(again.m_vConnections[0].setting, "disabled");
  EXPECT_EQ(again.m_vConnections[0].readPolicyOverride, "passthrough");

  ReqDeleteDhsmConnection remove;
  remove.m_FileSystemId = kFs10;
  remove.m_ConnectionId = c.connection;
  RespDeleteDhsmConnection removed;
  ASSERT_TRUE(facade->ProcessRequestAndResponse(remove, removed, EvDebug::LVL_ERROR));
  EXPECT_TRUE(ConnectionsOf(kFs10).empty());
  // Deleting it twice is refused, with the server's reason in the last error.
  RespDeleteDhsmConnection twice;
  EXPECT_FALSE(facade->ProcessRequestAndResponse(remove, twice, EvDebug::LVL_ERROR));
  EXPECT_NE(facade->GetLastError1().m_sMessage.find("does not exist"), std::string::npos);
}

TEST_F(OfflineTest, RetriesAfterInjectedFailuresWithPauses) {
  Http500("FileSystemLocationQueryParams", 2);
  celsim::Fault refused = ProblemFault("NewCifsDhsmConnection", "13690601999", "DHSM service is restarting");
  refused.count = 3;
  sim().AddFault(refused);
  sim().AddFault(KindFault(celsim::FaultKind::Truncated, "MoverHttpFeatureQueryParams"));

  LogCapture log;
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  EXPECT_EQ(Sent("FileSystemLocationQueryParams").size(), 3u);
  EXPECT_EQ(Sent("NewCifsDhsmConnection").size(), 4u);
  // The second query reuses the response of the first, truncated one.
  EXPECT_EQ(Sent("MoverHttpFeatureQueryParams").size(), 2u);
  EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>(6, 15000));
  // A refused task is a failed attempt with the server's reason, not a
  // task sent successfully.
  EXPECT_EQ(log.Count("Task was sent successfully to add new connection"), 1u);
  EXPECT_TRUE(
      log.Contains("Attempt 3 of 9 to add the connection failed: status [2], messageCode [13690601999], "
                   "message [DHSM service is restarting]"));
  EXPECT_TRUE(log.Contains("Will try RespMoverHttpFeatureQueryParams again; retry-count=0"));
  EXPECT_EQ(ConnectionsOf(kFs1).size(), 3u);
  EXPECT_EQ(ValidHosts("1").size(), 2u);
}

// A caller counts a pause down from the reports alone: the pause's start,
// then the time left once a second, then the next attempt.
TEST_F(OfflineTest, ProgressReportsEachAttemptAndCountsEachPauseDown) {
  Http500("FileSystemLocationQueryParams", 1);
  auto facade = NewFacade();
  std::vector<std::string> reports;
  facade->SetProgressCallback([&](const CelerraProgress& p) {
    reports.push_back(std::string(p.step) + " " + std::to_string(p.attempt) + "/" + std::to_string(p.attempts) +
                      (p.pauseMs ? " pause " + std::to_string(p.pauseMs) : ""));
  });
  ASSERT_TRUE(Configure(*facade, "//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  std::vector<std::string> expected = {"finding the file system 1/9"};
  for (unsigned long left = 15000; left > 0; left -= 1000)
    expected.push_back("finding the file system 1/9 pause " + std::to_string(left));
  expected.push_back("finding the file system 2/9");
  expected.push_back("looking for an existing connection 1/9");
  ASSERT_GE(reports.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(reports.begin(), reports.begin() + expected.size()), expected);
  EXPECT_EQ(reports.back(), "allowing the archive server's address 1/9");
  // The pause itself is one wait of the whole length.
  EXPECT_EQ(SleepRecorder::Pauses(), std::vector<unsigned long>{15000});
}

TEST_F(OfflineTest, FailedConnectionQueriesStillLeadToANewConnection) {
  Http500("DhsmConnectionQueryParams", -1);
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  EXPECT_EQ(Sent("DhsmConnectionQueryParams").size(), 9u);
  EXPECT_EQ(Sent("NewCifsDhsmConnection").size(), 1u);
  EXPECT_EQ(SleepRecorder::Pauses().size(), 8u);
}

// A step that fails on every attempt fails the configuration with the last
// attempt's reason; one refused before anything is sent is not tried again.
TEST_F(OfflineTest, AStepThatNeverSucceedsFailsTheConfiguration) {
  struct Row {
    const char* request;  // the step's request
    celsim::Fault fault;
    const char* archive;  // the archive share: a new connection, or the dataset's (modified)
    size_t attempts;
    eCelerraErrorKind kind;
  };
  celsim::Fault locked = ProblemFault("ModifyHttpFeatureUsersAndHosts", "77", "feature locked");
  locked.count = -1;
  celsim::Fault busy = ProblemFault("ModifyCifsDhsmConnection", "78", "connection busy");
  busy.count = -1;
  // A file-system id with a control character: the next step's request may
  // not be sent.
  celsim::Fault unsendable =
      CannedFault("FileSystemLocationQueryParams",
                  "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/><FileSystemLocation mover=\"1\" "
                  "fileSystem=\"21&#x85;\" path=\"/fs1\"/></Response></ResponsePacket>");
  const Row rows[] = {
      {"ModifyHttpFeatureUsersAndHosts", locked, "//arkiv1/stubs", 9, ERROR_KIND_SERVER},
      {"ModifyCifsDhsmConnection", busy, "//archive.corp.example/fs1stubs", 9, ERROR_KIND_SERVER},
      {"FileSystemLocationQueryParams", unsendable, "//arkiv1/stubs", 1, ERROR_KIND_INPUT},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.request);
    sim().ClearFaults();
    sim().ClearJournal();
    sim().AddFault(row.fault);
    LogCapture log;
    auto facade = NewFacade();
    EXPECT_FALSE(Configure(*facade, "//CIFS_SRV1/fs1share", row.archive));
    EXPECT_EQ(Sent(row.request).size(), row.attempts);
    CelerraError e = facade->GetLastError1();
    EXPECT_EQ(e.m_eKind, row.kind) << e.m_sMessage;
    if (row.kind == ERROR_KIND_SERVER) {
      EXPECT_EQ(e.m_sMessageCode, row.fault.problem.messageCode);
    }
    EXPECT_FALSE(log.Contains("Done Processing"));
  }
  EXPECT_EQ(Sent("DhsmConnectionQueryParams").size(), 0u) << "the unsendable step sent nothing";
}

TEST_F(OfflineTest, PasswordNeverInLogsTracesOrJournal) {
  ScopedEnv trace("sCELERRALOGXMLMSG", "yes");
  // Refuse the first create so that the failure paths log too.
  sim().AddFault(ProblemFault("NewCifsDhsmConnection", "1", "try again"));
  LogCapture log(6);
  auto facade = NewFacade();
  ASSERT_TRUE(Configure(*facade, "//CIFS_SRV1/fs1share", "//arkiv1/stubs"));
  ASSERT_TRUE(Configure(*facade, "//CIFS_SRV1/fs1share", "//arkiv1/stubs", false, true));  // the modify path
  ASSERT_EQ(Sent("ModifyCifsDhsmConnection").size(), 1u);

  const std::string secrets[] = {kArchivePassword, kArchivePasswordEscaped, "P4ss"};
  ASSERT_FALSE(log.Lines().empty());
  for (const auto& line : log.Lines())
    for (const auto& s : secrets) EXPECT_EQ(line.find(s), std::string::npos) << line;
  std::string traces = ReadFile(m_Temp->PrivateDir() + "/CelerraXMLDebugFile") +
                       ReadFile(m_Temp->PrivateDir() + "/CelerraXMLHeaderFile");
  EXPECT_NE(traces.find("FileSystemLocationQueryParams"), std::string::npos);
  for (const auto& s : secrets) EXPECT_EQ(traces.find(s), std::string::npos);
  bool sawMasked = false;
  for (const auto& e : sim().Journal()) {
    for (const auto& s : secrets) {
      EXPECT_EQ(e.body.find(s), std::string::npos) << e.body;
      EXPECT_EQ(e.reply.find(s), std::string::npos) << e.reply;
    }
    sawMasked = sawMasked || e.body.find("password=\"********\"") != std::string::npos;
  }
  EXPECT_TRUE(sawMasked);
}

TEST_F(OfflineTest, DataFileKeepsTheDhsmState) {
  ASSERT_TRUE(Configure("//CIFS_SRV1/fs1share", "//arkiv1/stubs", false, true));
  std::string dumped = sim().WithModel([](celsim::Model& m) { return celsim::DumpModel(m); });
  TempDir dir;
  std::string path = dir.path() + "/model.json";
  { std::ofstream(path) << dumped; }
  celsim::Model loaded;
  std::string error;
  ASSERT_TRUE(celsim::LoadModel(path, loaded, error)) << error;
  EXPECT_EQ(celsim::DumpModel(loaded), dumped);
  ASSERT_EQ(loaded.dhsmConnections.size(), 3u);
  EXPECT_TRUE(loaded.dhsmConnections[1].cgi);
  EXPECT_EQ(loaded.dhsmConnections[1].port, "8080");
  EXPECT_EQ(loaded.FindMover("1")->httpUsers, (std::vector<std::string>{"arcuser"}));
  unlink(path.c_str());
}

// ------------------------------------------------------------------ command line

TEST_F(OfflineTest, CommandLineReportsOneLinePerStep) {
  ScopedEnv archive("OFFLINE_TEST_ARK", kArchivePassword);
  std::string out;
  int status = RunCli(
      "offline configure //CIFS_SRV1/fs1share //127.0.0.1/stubs --archive-user arcuser "
      "--archive-password-env OFFLINE_TEST_ARK --set-offline-attr",
      &out, &out);
  EXPECT_EQ(status, 0) << out;
  for (const char* step :
       {"offline: finding the file system\n", "offline: looking for an existing connection\n",
        "offline: creating the connection\n", "offline: setting the offline attribute\n",
        "offline: reading the mover's HTTP feature\n", "offline: allowing the archive server's address\n"})
    EXPECT_EQ(out.find(step) != std::string::npos, true) << step << out;
  EXPECT_NE(out.find("configured"), std::string::npos);
  EXPECT_EQ(out.find("\r"), std::string::npos);
  EXPECT_EQ(ValidHosts("1"), (std::vector<std::string>{"192.0.2.200", "127.0.0.1"}));
  for (const auto& e : sim().Journal()) EXPECT_EQ(e.body.find("P4ss"), std::string::npos);

  status = RunCli(
      "offline configure //CIFS_SRV1/fs1share //127.0.0.1/stubs --archive-user arcuser "
      "--archive-password-env OFFLINE_TEST_UNSET_VARIABLE",
      &out, &out);
  EXPECT_EQ(status, 2) << out;
  EXPECT_NE(out.find("OFFLINE_TEST_UNSET_VARIABLE"), std::string::npos);
}

}  // namespace
