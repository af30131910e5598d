// Mounts: the documents sent, the replies read, the four operations against
// the simulated control station, and the mount commands of celerractl.
#include <pugixml.hpp>
#include <sys/wait.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>

#include "messages/catalogue/MountMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

std::vector<celsim::JournalEntry> RequestsOf(celsim::Simulator& sim, const std::string& type) {
  std::vector<celsim::JournalEntry> out;
  for (const auto& e : sim.Requests())
    if (e.messageType == type) out.push_back(e);
  return out;
}

// The body element of a request document as sent.
pugi::xml_node Body(pugi::xml_document& doc, const std::string& xml, const char* name) {
  EXPECT_TRUE(doc.load_string(xml.c_str())) << xml;
  return doc.select_node((std::string("//") + name).c_str()).node();
}

std::vector<std::string> Paths(const std::vector<CelerraMountPointsInfo_t>& mounts) {
  std::vector<std::string> out;
  for (const auto& m : mounts) out.push_back(m.path);
  return out;
}

void AddMount(celsim::Simulator& sim, const std::string& path, const std::string& fsId, const std::string& mover,
              bool vdm) {
  sim.WithModel([&](celsim::Model& m) {
    m.mounts.push_back({path, fsId, mover, vdm, false});
    return 0;
  });
}

// A mount query response fed with `reply` and read completely.
struct ParsedReply {
  bool ok;
  std::vector<std::string> paths;
  std::vector<CelerraMountPointsInfo_t> mounts;
};
ParsedReply Parse(const std::string& reply) {
  CelerraXMLGetFSMountPointsResp resp(3);
  std::string copy = reply;
  resp.SetXML(&copy[0], copy.size());
  ParsedReply out;
  out.ok = resp.UnSerializeCompleteXML();
  resp.GetMountPoints(out.paths);
  resp.GetMountPointsInfo(out.mounts);
  return out;
}

// ------------------------------------------------------------ documents

TEST(MountDocuments, QueryCarriesOnlyWhatIsAsked) {
  pugi::xml_document doc;
  CelerraXMLGetFSMountPointsReq all(1);
  ASSERT_TRUE(all.SerializeXML());
  pugi::xml_node params = Body(doc, all.GetSerializedXML(), "MountQueryParams");
  ASSERT_TRUE(params);
  EXPECT_FALSE(params.first_attribute());
  EXPECT_FALSE(params.first_child());
  EXPECT_STREQ(doc.child("RequestPacket").child("Request").child("Query").first_child().name(), "MountQueryParams");
  EXPECT_FALSE(doc.child("RequestPacket").child("Request").attribute("apiVersion"));

  CelerraXMLGetFSMountPointsReq byPath(1);
  byPath.m_sPath = "/fs1";
  ASSERT_TRUE(byPath.SerializeXML());
  params = Body(doc, byPath.GetSerializedXML(), "MountQueryParams");
  EXPECT_STREQ(params.attribute("path").value(), "/fs1");
  EXPECT_FALSE(params.child("MoverOrVdm"));

  CelerraXMLGetFSMountPointsReq byMover(1);
  byMover.m_sMoverId = "2";
  ASSERT_TRUE(byMover.SerializeXML());
  params = Body(doc, byMover.GetSerializedXML(), "MountQueryParams");
  EXPECT_STREQ(params.child("MoverOrVdm").attribute("mover").value(), "2");
  EXPECT_STREQ(params.child("MoverOrVdm").attribute("moverIdIsVdm").value(), "false");
}

TEST(MountDocuments, NewMountHasFixedOptionsAndEscapedValues) {
  CelerraXMLCreateMountPointReq req(1);
  req.m_sPath = "/a&b\"<c>'";
  req.m_sFileSystem = "31";
  req.m_sMoverId = "1";
  req.m_sMoverIdIsVdm = "false";
  ASSERT_TRUE(req.SerializeXML());
  const std::string xml = req.GetSerializedXML();
  EXPECT_EQ(xml.rfind("<?xml version=\"1.0\"?>\n", 0), 0u);
  EXPECT_NE(xml.find("\t\t\t<NewMount"), std::string::npos);
  pugi::xml_document doc;
  pugi::xml_node mount = Body(doc, xml, "NewMount");
  ASSERT_TRUE(mount);
  EXPECT_STREQ(mount.attribute("path").value(), "/a&b\"<c>'");
  EXPECT_STREQ(mount.attribute("ntCredential").value(), "true");
  EXPECT_STREQ(mount.parent().name(), "StartTask");
  EXPECT_FALSE(mount.parent().attribute("timeout"));
  pugi::xml_node nfs = mount.child("NfsOptions");
  EXPECT_STREQ(nfs.attribute("prefetch").value(), "false");
  EXPECT_STREQ(nfs.attribute("ro").value(), "false");
  EXPECT_STREQ(nfs.attribute("uncached").value(), "true");
  EXPECT_STREQ(nfs.attribute("virusScan").value(), "false");

  // Sent whatever the members hold, even empty.
  CelerraXMLCreateMountPointReq empty(1);
  ASSERT_TRUE(empty.SerializeXML());
  mount = Body(doc, empty.GetSerializedXML(), "NewMount");
  EXPECT_TRUE(mount.child("MoverOrVdm").attribute("mover"));
  EXPECT_STREQ(mount.attribute("ntCredential").value(), "true");
}

// ---------------------------------------------------------------- replies

TEST(MountReplies, MountsInDocumentOrder) {
  ParsedReply r = Parse(
      "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
      "<Mount path=\"/b\" fileSystem=\"22\" mover=\"2\" moverIdIsVdm=\"false\"/>"
      "<Mount path=\"/a\" fileSystem=\"21\" mover=\"1\"/>"
      "</Response></ResponsePacket>");
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.paths, (std::vector<std::string>{"/b", "/a"}));
  ASSERT_EQ(r.mounts.size(), 2u);
  EXPECT_EQ(r.mounts[0].fileSystem, "22");
  EXPECT_EQ(r.mounts[0].mover, "2");
  EXPECT_EQ(r.mounts[0].moverIdIsVdm, "false");
  EXPECT_EQ(r.mounts[1].moverIdIsVdm, "");
}

TEST(MountReplies, NoMountFailsWithTheCountAndEmptyLists) {
  LogCapture log;
  ParsedReply r = Parse("<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/></Response></ResponsePacket>");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.paths.empty());
  EXPECT_TRUE(r.mounts.empty());
  EXPECT_TRUE(log.Contains("Inappropriate number [0] of Mount nodes in XML"));
}

TEST(MountReplies, BrokenEnvelopesFail) {
  LogCapture log;
  EXPECT_FALSE(Parse("<ResponsePacket><Response><Mount path=\"/a\"/></Response></ResponsePacket>"
                     "<ResponsePacket/>")
                   .ok);  // not well-formed: two roots
  EXPECT_FALSE(Parse("<Wrapper><ResponsePacket><Response><Mount path=\"/a\"/></Response></ResponsePacket>"
                     "<ResponsePacket/></Wrapper>")
                   .ok);
  EXPECT_TRUE(log.Contains("Inappropriate number [2] of ReponsePacket nodes in XML"));
  EXPECT_FALSE(Parse("<Other/>").ok);
  EXPECT_TRUE(log.Contains("Failed to get ResponsePacket node from XML"));
  EXPECT_FALSE(Parse("").ok);
  // An error status fails before any mount is read.
  ParsedReply r = Parse(
      "<ResponsePacket><Response><QueryStatus maxSeverity=\"error\"><Problem messageCode=\"9\"/></QueryStatus>"
      "<Mount path=\"/a\"/></Response></ResponsePacket>");
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.paths.empty());
  EXPECT_TRUE(log.Contains("Unable to UnSerializeXML"));
}

TEST(MountReplies, NonAsciiPathsComeBackIntact) {
  ParsedReply r = Parse(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><ResponsePacket><Response>"
      "<Mount path=\"/donn\xC3\xA9" "es/\xE6\x97\xA5\xE6\x9C\xAC\" fileSystem=\"1\" mover=\"1\"/>"
      "</Response></ResponsePacket>");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.paths.at(0), "/donn\xC3\xA9" "es/\xE6\x97\xA5\xE6\x9C\xAC");
}

TEST(MountReplies, ReadOnceThoughAskedTwice) {
  CelerraXMLGetFSMountPointsResp resp(3);
  std::string reply = "<ResponsePacket><Response><Mount path=\"/a\"/></Response></ResponsePacket>";
  resp.SetXML(&reply[0], reply.size());
  EXPECT_TRUE(resp.UnSerializeXML());
  EXPECT_TRUE(resp.UnSerializeCompleteXML());
  std::vector<std::string> paths;
  resp.GetMountPoints(paths);
  EXPECT_EQ(paths.size(), 1u);
}

// -------------------------------------------------------------- operations

class MountTest : public SimTest {};

TEST_F(MountTest, GetMountPtsOfAMoverAndOfAVdm) {
  auto facade = NewFacade();
  std::vector<std::string> paths{"stale"};
  ASSERT_TRUE(facade->GetMountPts("1", "false", paths));
  // The VDM hosted by mover 1 shows in the mover's tree under its root.
  EXPECT_EQ(paths, (std::vector<std::string>{"/fs1", "/fs10", "/root_vdm_3/vdmfs1", "/fs1_ckpt1"}));
  ASSERT_TRUE(facade->GetMountPts("3", "true", paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"/vdmfs1"}));

  auto sent = RequestsOf(sim(), "MountQueryParams");
  ASSERT_EQ(sent.size(), 2u);
  pugi::xml_document doc;
  pugi::xml_node params = Body(doc, sent[1].body, "MountQueryParams");
  EXPECT_FALSE(params.attribute("path"));
  EXPECT_STREQ(params.child("MoverOrVdm").attribute("mover").value(), "3");
  EXPECT_STREQ(params.child("MoverOrVdm").attribute("moverIdIsVdm").value(), "true");
}

TEST_F(MountTest, GetMountPtsChecksItsInputsBeforeSending) {
  LogCapture log;
  auto facade = NewFacade();
  std::vector<std::string> paths;
  EXPECT_FALSE(facade->GetMountPts("1", "", paths));
  EXPECT_FALSE(facade->GetMountPts("", "false", paths));
  EXPECT_EQ(log.Count("Invalid input to API. Cannot proceed"), 2u);
  ManageCelerra noHost(1);
  noHost.SetControlHostInfo("", kUser, kPassword);
  EXPECT_FALSE(noHost.GetMountPts("1", "false", paths));
  EXPECT_TRUE(log.Contains("Control Host Login Parameters are not set,cannot proceed"));
  EXPECT_TRUE(sim().Journal().empty());
}

TEST_F(MountTest, GetMountPtsServerErrorKeepsTheProblem) {
  LogCapture log;
  sim().AddFault(ProblemFault("MountQueryParams", "4242", "mover is down"));
  auto facade = NewFacade();
  std::vector<std::string> paths{"stale"};
  EXPECT_FALSE(facade->GetMountPts("1", "false", paths));
  EXPECT_TRUE(paths.empty());
  CelerraError e = facade->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "4242");
  EXPECT_TRUE(log.Contains("Error while getting mount points for Mover ID[1]"));
  EXPECT_TRUE(log.Contains("Unable to get mount points for Mover ID[1]"));
}

TEST_F(MountTest, UnknownMoverIsAnError) {
  auto facade = NewFacade();
  std::vector<std::string> paths;
  EXPECT_FALSE(facade->GetMountPts("99", "false", paths));
  EXPECT_EQ(facade->GetLastError1().m_eStatus, STATUS_ERROR);
  // A VDM id asked for as a physical mover is not that mover.
  EXPECT_FALSE(facade->GetMountPts("3", "false", paths));
}

TEST_F(MountTest, SuccessWithoutMountsIsAnEmptyList) {
  sim().WithModel([](celsim::Model& m) {
    m.mounts.erase(std::remove_if(m.mounts.begin(), m.mounts.end(),
                                  [](const celsim::Mount& x) { return x.moverId == "2"; }),
                   m.mounts.end());
    return 0;
  });
  auto facade = NewFacade();
  std::vector<std::string> paths{"stale"};
  EXPECT_TRUE(facade->GetMountPts("2", "false", paths));
  EXPECT_TRUE(paths.empty());
}

TEST_F(MountTest, GetMountPtsInfoForAllMoversSendsNoSelector) {
  LogCapture log;
  auto facade = NewFacade();
  std::vector<CelerraMountPointsInfo_t> mounts;
  ASSERT_TRUE(facade->GetMountPtsInfo(mounts, "", false, ""));
  EXPECT_EQ(Paths(mounts), (std::vector<std::string>{"/fs1", "/fs2", "/fs10", "/vdmfs1", "/fs1_ckpt1"}));
  EXPECT_EQ(mounts[3].mover, "3");
  EXPECT_EQ(mounts[3].moverIdIsVdm, "true");
  EXPECT_EQ(mounts[3].fileSystem, "24");
  EXPECT_TRUE(log.Contains("Getting all Mount points for Mover Id[All]"));
  EXPECT_TRUE(log.Contains("Getting all mount point info"));
  pugi::xml_document doc;
  pugi::xml_node params = Body(doc, RequestsOf(sim(), "MountQueryParams").at(0).body, "MountQueryParams");
  EXPECT_FALSE(params.first_attribute());
  EXPECT_FALSE(params.child("MoverOrVdm"));
}

TEST_F(MountTest, GetMountPointInfoFindsTheMountAtAPath) {
  LogCapture log;
  auto facade = NewFacade();
  CelerraMountPointsInfo_t mount;
  ASSERT_TRUE(facade->GetMountPointInfo(mount, "/root_vdm_3/vdmfs1", "1", false));
  EXPECT_EQ(mount.fileSystem, "24");
  EXPECT_EQ(mount.mover, "1");

  mount.path = "untouched";
  EXPECT_FALSE(facade->GetMountPointInfo(mount, "/nowhere", "1", false));
  EXPECT_EQ(mount.path, "untouched");
  EXPECT_TRUE(log.Contains("Unable to get mount points for mount path [/nowhere]"));

  // Without a path any mount would do: refused before anything is sent.
  sim().ClearJournal();
  EXPECT_FALSE(facade->GetMountPointInfo(mount, "", "1", false));
  EXPECT_TRUE(sim().Requests().empty());
  EXPECT_EQ(mount.path, "untouched");
}

TEST_F(MountTest, CreateMountMountsTheCheckpoint) {
  auto facade = NewFacade();
  ASSERT_TRUE(facade->CreateMount("/ck_new", "1", "31", "false"));
  auto sent = RequestsOf(sim(), "NewMount");
  ASSERT_EQ(sent.size(), 1u);
  pugi::xml_document doc;
  pugi::xml_node mount = Body(doc, sent[0].body, "NewMount");
  EXPECT_STREQ(mount.attribute("path").value(), "/ck_new");
  EXPECT_STREQ(mount.attribute("fileSystem").value(), "31");
  CelerraMountPointsInfo_t found;
  ASSERT_TRUE(facade->GetMountPointInfo(found, "/ck_new", "1", false));
  EXPECT_EQ(found.fileSystem, "31");
}

TEST_F(MountTest, CreateMountOnAVdmIsSeenByItsMover) {
  auto facade = NewFacade();
  ASSERT_TRUE(facade->CreateMount("/ck_vdm", "3", "31", "true"));
  std::vector<std::string> paths;
  ASSERT_TRUE(facade->GetMountPts("1", "false", paths));
  EXPECT_NE(std::find(paths.begin(), paths.end(), "/root_vdm_3/ck_vdm"), paths.end());
}

TEST_F(MountTest, CreateMountServerErrors) {
  auto facade = NewFacade();
  struct Case {
    std::string path, mover, fs, vdm;
  } cases[] = {{"/fs1", "1", "31", "false"},     // path in use
               {"/ck_x", "1", "9999", "false"},  // unknown file system
               {"/ck_x", "77", "31", "false"},   // unknown mover
               {"/ck_x", "1", "31", "true"}};    // mover 1 is not a VDM
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_FALSE(facade->CreateMount(c.path, c.mover, c.fs, c.vdm)) << c.path << " " << c.mover << " " << c.fs;
    CelerraError e = facade->GetLastError1();
    EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
    EXPECT_FALSE(e.m_sMessageCode.empty());
    std::string line = "Error while mounting FS Id[" + c.fs + "] on mount path [" + c.path + "]";
    EXPECT_EQ(log.Count(line), 2u) << line;
    EXPECT_TRUE(log.Contains("Unable to Mount the RW checkpoint"));
  }
  std::vector<CelerraMountPointsInfo_t> mounts;
  ASSERT_TRUE(facade->GetMountPtsInfo(mounts, "", false, ""));
  EXPECT_EQ(mounts.size(), 5u);
}

TEST_F(MountTest, CreateMountRefusedByTheServerInAnyShape) {
  for (auto shape : {celsim::FailureShape::Fault, celsim::FailureShape::PacketFault, celsim::FailureShape::BareStatus}) {
    celsim::Fault f = ProblemFault("NewMount", "5150", "refused");
    f.style.failureShape = shape;
    sim().AddFault(f);
    auto facade = NewFacade();
    EXPECT_FALSE(facade->CreateMount("/ck_y", "1", "31", "false"));
    EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "5150");
  }
}

TEST_F(MountTest, CreateMountChecksItsInputsBeforeSending) {
  LogCapture log;
  auto facade = NewFacade();
  EXPECT_FALSE(facade->CreateMount("", "1", "31", "false"));
  EXPECT_FALSE(facade->CreateMount("/x", "", "31", "false"));
  EXPECT_FALSE(facade->CreateMount("/x", "1", "", "false"));
  EXPECT_FALSE(facade->CreateMount("/x", "1", "31", ""));
  ManageCelerra noUser(1);
  noUser.SetControlHostInfo(sim().address(), "", kPassword);
  EXPECT_FALSE(noUser.CreateMount("/x", "1", "31", "false"));
  EXPECT_EQ(log.Count("Invalid input to API. Cannot proceed"), 5u);
  EXPECT_TRUE(sim().Journal().empty());
}

TEST_F(MountTest, NonAsciiMountPathRoundTrip) {
  const std::string path = "/sauvegarde_\xC3\xA9t\xC3\xA9_\xE2\x82\xAC";
  auto facade = NewFacade();
  ASSERT_TRUE(facade->CreateMount(path, "1", "31", "false"));
  std::vector<std::string> paths;
  ASSERT_TRUE(facade->GetMountPts("1", "false", paths));
  EXPECT_EQ(paths.back(), path);
  CelerraMountPointsInfo_t found;
  ASSERT_TRUE(facade->GetMountPointInfo(found, path, "1", false));
  EXPECT_EQ(found.path, path);
}

TEST_F(MountTest, TransportFailureEndsWithTheClosingLine) {
  LogCapture log;
  celsim::Fault f;
  f.kind = celsim::FaultKind::Http500;
  f.messageType = "MountQueryParams";
  sim().AddFault(f);
  auto facade = NewFacade();
  std::vector<std::string> paths{"kept"};
  EXPECT_FALSE(facade->GetMountPts("1", "false", paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"kept"}));
  EXPECT_TRUE(log.Contains("Unable to get mount points for Mover ID[1]"));
  EXPECT_FALSE(log.Contains("Error while getting mount points"));
}

// --------------------------------------------------------------------- CLI

class MountCliTest : public SimTest {
 protected:
  int Run(const std::string& args, std::string* out) {
    ScopedEnv pw("CELERRA_TEST_PW", kPassword);
    std::string cmd = std::string(getenv("CELERRA_BIN_DIR")) + "/celerractl --host " + sim().address() + " --user " +
                      kUser + " --password-env CELERRA_TEST_PW " + args + " 2>&1";
    out->clear();
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(MountCliTest, ListPathsShowCreate) {
  std::string out;
  ASSERT_EQ(Run("--json mount list --mover 3 --vdm", &out), 0) << out;
  auto list = nlohmann::json::parse(out);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["path"], "/vdmfs1");
  EXPECT_EQ(list[0]["fileSystem"], "24");
  EXPECT_EQ(list[0]["moverIdIsVdm"], "true");

  ASSERT_EQ(Run("--json mount paths --mover 1", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["mountPaths"].size(), 4u);

  ASSERT_EQ(Run("mount create /ck_cli --mover 1 --fs 31", &out), 0) << out;
  ASSERT_EQ(Run("--json mount show /ck_cli --mover 1", &out), 0) << out;
  EXPECT_EQ(nlohmann::json::parse(out)["fileSystem"], "31");
  ASSERT_EQ(Run("mount list --path /ck_cli", &out), 0) << out;
  EXPECT_NE(out.find("/ck_cli"), std::string::npos) << out;
}

TEST_F(MountCliTest, FailuresExitNonZeroAndNameTheOperation) {
  std::string out;
  EXPECT_EQ(Run("mount create /fs1 --mover 1 --fs 31", &out), 1);
  EXPECT_NE(out.find("CreateMount failed"), std::string::npos) << out;
  EXPECT_EQ(Run("mount show /nowhere", &out), 1);
  EXPECT_NE(out.find("GetMountPointInfo failed"), std::string::npos) << out;
  EXPECT_EQ(out.find(kPassword), std::string::npos);
  EXPECT_EQ(Run("mount paths", &out), 2);  // --mover is required
}

}  // namespace
