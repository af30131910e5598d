// The snapshot device name: the direct case, the mount search, the mount
// fallback and the three failures. How a host finds the two entry points in
// libcelerra.so is tested against the shared library (test_shared_library).

#include "manage/SnapDeviceName.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

const char* const kUntouched = "untouched";

class SnapDevTest : public SimTest {
 protected:
  // The snapshot device name through the caller's facade; kUntouched when
  // the call left the result alone.
  bool Snap(const std::string& sharePath, const std::string& fsId, const std::string& chkPtName, std::string* result,
            const std::string& chkPtId = kFs1Ckpt1) {
    auto facade = NewFacade();
    *result = kUntouched;
    bool ok = Celerra_GetSnapDeviceNameWithManageCelerra(*facade, sharePath, fsId, chkPtId, chkPtName, *result);
    m_LastError = facade->GetLastError1();
    return ok;
  }
  void AddMount(const std::string& path, const std::string& mover, bool vdm) {
    sim().WithModel([&](celsim::Model& m) {
      m.mounts.push_back({path, kFs10, mover, vdm, false});
      return 0;
    });
  }
  CelerraError m_LastError;
};

TEST_F(SnapDevTest, DirectCaseAsksNoMountQuery) {
  std::string result;
  ASSERT_TRUE(Snap("/fs1/dir1", kFs1, "ck1", &result));
  EXPECT_EQ(result, "/ck1/dir1");
  ASSERT_TRUE(Snap("/fs1", kFs1, "ck1", &result));
  EXPECT_EQ(result, "/ck1");
  ASSERT_TRUE(Snap("/root_vdm_3/vdmfs1/dir1", kVdmFs1, "ck1", &result));
  EXPECT_EQ(result, "/root_vdm_3/ck1/dir1");
  EXPECT_EQ(Sent("MountQueryParams").size(), 0u);
  EXPECT_EQ(Sent("NewMount").size(), 0u);
}

TEST_F(SnapDevTest, MountSearchTakesOnlyAWholePathComponent) {
  LogCapture log;
  AddMount("/ck10", "1", false);
  AddMount("/ck1_old", "1", false);
  AddMount("/ck1", "1", false);
  std::string result;
  // /fs10 only begins with the name of fs1: not the direct case.
  ASSERT_TRUE(Snap("/fs10", kFs1, "ck1", &result));
  EXPECT_EQ(result, "/ck1");
  EXPECT_EQ(Sent("MountQueryParams").size(), 1u);
  EXPECT_EQ(Sent("NewMount").size(), 0u);
  EXPECT_FALSE(log.Contains("Unable to find the file system name in the share path"));
  EXPECT_TRUE(log.Contains("Path[/ck1] will be exported"));

  // Any occurrence counts, and the path comes back byte for byte.
  sim().WithModel([](celsim::Model& m) { return m.mounts.clear(), 0; });
  const std::string nested =
      "/ck1_old/donn\xC3\xA9"
      "es/ck1";
  AddMount(nested, "1", false);
  ASSERT_TRUE(Snap("/elsewhere", kFs1, "ck1", &result));
  EXPECT_EQ(result, nested);
  EXPECT_TRUE(log.Contains("Unable to find the file system name in the share path[/elsewhere]."));

  AddMount("/ck1", "3", true);
  ASSERT_TRUE(Snap("/elsewhere", kVdmFs1, "ck1", &result));
  EXPECT_EQ(result, "/root_vdm_3/ck1");
  EXPECT_EQ(Sent("NewMount").size(), 0u);
}

TEST_F(SnapDevTest, WithoutAMountTheCheckpointIsMountedOnce) {
  AddMount("/ck10", "1", false);
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", kFs1, "ck1", &result, kFs1Ckpt1));
  EXPECT_EQ(result, "/ck1");
  ASSERT_EQ(Sent("NewMount").size(), 1u);
  auto facade = NewFacade();
  CelerraMountPointsInfo_t mount;
  ASSERT_TRUE(facade->GetMountPointInfo(mount, "/ck1", "1", false));
  EXPECT_EQ(mount.fileSystem, kFs1Ckpt1);
  // Asked again, the mount is found rather than made twice.
  ASSERT_TRUE(Snap("/elsewhere", kFs1, "ck1", &result, kFs1Ckpt1));
  EXPECT_EQ(result, "/ck1");
  EXPECT_EQ(Sent("NewMount").size(), 1u);
}

TEST_F(SnapDevTest, ANewMountOnAVdmIsReturnedAsTheMoverSeesIt) {
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", kVdmFs1, "ck_\xC3\xA9t\xC3\xA9", &result));
  EXPECT_EQ(result, "/root_vdm_3/ck_\xC3\xA9t\xC3\xA9");
  EXPECT_EQ(Sent("NewMount").size(), 1u);
  // The path exists on the physical mover that runs the VDM.
  auto facade = NewFacade();
  CelerraMountPointsInfo_t mount;
  ASSERT_TRUE(facade->GetMountPointInfo(mount, result, "1", false));
  EXPECT_EQ(mount.fileSystem, kFs1Ckpt1);
}

TEST_F(SnapDevTest, EachFailureReturnsFalseWithTheServersProblem) {
  struct Case {
    const char* type;   // request refused
    const char* share;  // share path asked for
    const char* line;   // what the entry point logs
  } cases[] = {{"FileSystemQueryParams", "/fs1/dir1", "Unable to get the file system name for file system ID[21]"},
               {"MountQueryParams", "/elsewhere", "Unable to get the file system mount points for file system ID[21]"},
               {"NewMount", "/elsewhere", "Unable to mount RW Checkpoint[ck1] at its root"}};
  for (const Case& c : cases) {
    LogCapture log;
    sim().AddFault(ProblemFault(c.type, "3101", "refused"));
    std::string result;
    EXPECT_FALSE(Snap(c.share, kFs1, "ck1", &result)) << c.type;
    EXPECT_EQ(result, kUntouched);
    EXPECT_EQ(m_LastError.m_eStatus, STATUS_ERROR);
    EXPECT_EQ(m_LastError.m_sMessageCode, "3101");
    EXPECT_TRUE(log.Contains(c.line)) << c.line;
  }
  // A name that is empty or holds a "/" (test_errors' contract table).
}

TEST_F(SnapDevTest, SelfContainedCallCleansUpAndLogsNoPassword) {
  LogCapture log;
  std::string result = kUntouched;
  ASSERT_TRUE(
      Celerra_GetSnapDeviceName(9, sim().address(), kUser, kPassword, "/fs1/dir1", kFs1, kFs1Ckpt1, "ck1", result));
  EXPECT_EQ(result, "/ck1/dir1");
  for (const auto& f : m_Temp->Files()) EXPECT_EQ(f.find("CelerraCookie"), std::string::npos) << f;
  for (const auto& line : log.Lines()) EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
}

}  // namespace
