// Mounts: the documents sent, the replies read, the four operations against
// the simulated control station. (celerractl's mount commands:
// test_cli_commands.cpp.)
#include <pugixml.hpp>

#include "messages/catalogue/MountMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

// The body element `name` of the first request of that type in the journal.
pugi::xml_node SentBody(celsim::Simulator& sim, pugi::xml_document& doc, const char* name, size_t index = 0) {
  size_t seen = 0;
  for (const auto& e : sim.Requests())
    if (e.messageType == name && seen++ == index) {
      EXPECT_TRUE(doc.load_string(e.body.c_str())) << e.body;
      return doc.select_node((std::string("//") + name).c_str()).node();
    }
  return pugi::xml_node();
}

bool ParseReply(const std::string& reply, std::vector<CelerraMountPointsInfo_t>& mounts) {
  CelerraXMLGetFSMountPointsResp resp(3);
  std::string copy = reply;
  resp.SetXML(&copy[0], copy.size());
  bool ok = resp.UnSerializeCompleteXML();
  resp.GetMountPointsInfo(mounts);
  return ok;
}

TEST(MountMessages, NewMountEscapesItsValuesAndCarriesTheFixedOptions) {
  CelerraXMLCreateMountPointReq req(1);
  req.m_sPath = "/a&b\"<c>'";
  ASSERT_TRUE(req.SerializeXML());
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(req.GetSerializedXML().c_str())) << req.GetSerializedXML();
  pugi::xml_node mount = doc.select_node("//StartTask/NewMount").node();
  EXPECT_STREQ(mount.attribute("path").value(), "/a&b\"<c>'");
  EXPECT_STREQ(mount.attribute("ntCredential").value(), "true");
  EXPECT_TRUE(mount.child("MoverOrVdm").attribute("moverIdIsVdm"));  // sent even when empty
  EXPECT_STREQ(mount.child("NfsOptions").attribute("uncached").value(), "true");
  EXPECT_STREQ(mount.child("NfsOptions").attribute("ro").value(), "false");
}

TEST(MountMessages, RepliesReadInDocumentOrderAndUtf8) {
  std::vector<CelerraMountPointsInfo_t> mounts;
  EXPECT_TRUE(
      ParseReply("<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
                 "<Mount path=\"/donn\xC3\xA9"
                 "es\" fileSystem=\"22\" mover=\"2\" moverIdIsVdm=\"false\"/>"
                 "<Mount path=\"/a\" fileSystem=\"21\" mover=\"1\"/></Response></ResponsePacket>",
                 mounts));
  ASSERT_EQ(mounts.size(), 2u);
  EXPECT_EQ(mounts[0].path,
            "/donn\xC3\xA9"
            "es");
  EXPECT_EQ(mounts[0].fileSystem, kFs2);
  EXPECT_EQ(mounts[1].path, "/a");
  EXPECT_EQ(mounts[1].moverIdIsVdm, "");

  LogCapture log;
  EXPECT_FALSE(ParseReply("<ResponsePacket><Response/></ResponsePacket>", mounts));
  EXPECT_TRUE(mounts.empty());
  EXPECT_TRUE(log.Contains("Inappropriate number [0] of Mount nodes in XML"));
}

class MountTest : public SimTest {};

TEST_F(MountTest, AMoverSeesItsVdmsMountsUnderTheVdmRoot) {
  auto facade = NewFacade();
  std::vector<std::string> paths{"stale"};
  ASSERT_TRUE(facade->GetMountPts("1", "false", paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"/fs1", "/fs10", "/root_vdm_3/vdmfs1", "/fs1_ckpt1"}));
  ASSERT_TRUE(facade->GetMountPts("3", "true", paths));
  EXPECT_EQ(paths, (std::vector<std::string>{"/vdmfs1"}));
  pugi::xml_document doc;
  pugi::xml_node who = SentBody(sim(), doc, "MountQueryParams", 1).child("MoverOrVdm");
  EXPECT_STREQ(who.attribute("mover").value(), "3");
  EXPECT_STREQ(who.attribute("moverIdIsVdm").value(), "true");
}

TEST_F(MountTest, AllMountsWithoutSelectorAndOneAtAPath) {
  LogCapture log;
  auto facade = NewFacade();
  std::vector<CelerraMountPointsInfo_t> mounts;
  ASSERT_TRUE(facade->GetMountPtsInfo(mounts, "", false, ""));
  ASSERT_EQ(mounts.size(), 5u);
  EXPECT_EQ(mounts[3].path, "/vdmfs1");
  EXPECT_EQ(mounts[3].moverIdIsVdm, "true");
  EXPECT_TRUE(log.Contains("Getting all Mount points for Mover Id[All]"));
  pugi::xml_document doc;
  pugi::xml_node params = SentBody(sim(), doc, "MountQueryParams");
  EXPECT_FALSE(params.first_attribute());
  EXPECT_FALSE(params.first_child());

  CelerraMountPointsInfo_t mount;
  ASSERT_TRUE(facade->GetMountPointInfo(mount, "/root_vdm_3/vdmfs1", "1", false));
  EXPECT_EQ(mount.fileSystem, kVdmFs1);
  mount.path = "untouched";
  EXPECT_FALSE(facade->GetMountPointInfo(mount, "/nowhere", "1", false));
  EXPECT_EQ(mount.path, "untouched");
  EXPECT_TRUE(log.Contains("Unable to get mount points for mount path [/nowhere]"));
}

TEST_F(MountTest, CreateMountAndItsServerErrors) {
  auto facade = NewFacade();
  const std::string path = "/sauvegarde_\xC3\xA9t\xC3\xA9";
  ASSERT_TRUE(facade->CreateMount(path, "1", kFs1Ckpt1, "false"));
  CelerraMountPointsInfo_t found;
  ASSERT_TRUE(facade->GetMountPointInfo(found, path, "1", false));
  EXPECT_EQ(found.path, path);
  EXPECT_EQ(found.fileSystem, kFs1Ckpt1);

  struct Case {
    std::string path, mover, fs, vdm;
  } refused[] = {{path, "1", kFs1Ckpt1, "false"},      // path in use
                 {"/ck_x", "1", "9999", "false"},      // unknown file system
                 {"/ck_x", "77", kFs1Ckpt1, "false"},  // unknown mover
                 {"/ck_x", "1", kFs1Ckpt1, "true"}};   // mover 1 is not a VDM
  for (const Case& c : refused) {
    LogCapture log;
    EXPECT_FALSE(facade->CreateMount(c.path, c.mover, c.fs, c.vdm)) << c.path << " " << c.mover << " " << c.fs;
    CelerraError e = facade->GetLastError1();
    EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
    EXPECT_FALSE(e.m_sMessageCode.empty());
    EXPECT_EQ(log.Count("Error while mounting FS Id[" + c.fs + "] on mount path [" + c.path + "]"), 1u);
  }
  std::vector<CelerraMountPointsInfo_t> mounts;
  ASSERT_TRUE(facade->GetMountPtsInfo(mounts, "", false, ""));
  EXPECT_EQ(mounts.size(), 6u);
}

}  // namespace
