// The snapshot device name: the direct case, the mount search, the mount
// fallback, the three failures, and the two entry points as a host finds
// them in libcelerra.so.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "manage/SnapDeviceName.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

const char* const kUntouched = "untouched";

size_t CountOf(celsim::Simulator& sim, const std::string& type) {
  size_t n = 0;
  for (const auto& e : sim.Requests())
    if (e.messageType == type) ++n;
  return n;
}

std::string Library() {
  const char* dir = getenv("CELERRA_LIB_DIR");
  return std::string(dir ? dir : ".") + "/libcelerra.so";
}

class SnapDevTest : public SimTest {
 protected:
  // The snapshot device name through the caller's facade; `kUntouched` when
  // the call left the result alone.
  bool Snap(const std::string& sharePath, const std::string& fsId, const std::string& chkPtName,
            std::string* result, const std::string& chkPtId = "31") {
    auto facade = NewFacade();
    *result = kUntouched;
    bool ok = Celerra_GetSnapDeviceNameWithManageCelerra(*facade, sharePath, fsId, chkPtId, chkPtName, *result);
    m_LastError = facade->GetLastError1();
    return ok;
  }
  void AddMount(const std::string& path, const std::string& mover, bool vdm, const std::string& fsId = "31") {
    sim().WithModel([&](celsim::Model& m) {
      m.mounts.push_back({path, fsId, mover, vdm, false});
      return 0;
    });
  }
  // The mounts of the model, as stored.
  std::vector<celsim::Mount> Mounts() {
    return sim().WithModel([](celsim::Model& m) { return m.mounts; });
  }
  CelerraError m_LastError;
};

// ------------------------------------------------------------- direct case

TEST_F(SnapDevTest, DirectCaseOnAPhysicalMover) {
  std::string result;
  ASSERT_TRUE(Snap("/fs1/dir1", "21", "ck1", &result));
  EXPECT_EQ(result, "/ck1/dir1");
  ASSERT_TRUE(Snap("/fs1", "21", "ck1", &result));
  EXPECT_EQ(result, "/ck1");
  ASSERT_TRUE(Snap("/fs1/a/b/c", "21", "ck1", &result));
  EXPECT_EQ(result, "/ck1/a/b/c");
  EXPECT_EQ(CountOf(sim(), "MountQueryParams"), 0u);
  EXPECT_EQ(CountOf(sim(), "NewMount"), 0u);
}

TEST_F(SnapDevTest, DirectCaseOnAVdm) {
  std::string result;
  ASSERT_TRUE(Snap("/root_vdm_3/vdmfs1/dir1", "24", "ck1", &result));
  EXPECT_EQ(result, "/root_vdm_3/ck1/dir1");
  EXPECT_EQ(CountOf(sim(), "MountQueryParams"), 0u);
  EXPECT_EQ(CountOf(sim(), "NewMount"), 0u);
}

TEST_F(SnapDevTest, AShareOfALongerNameIsNotTheFileSystem) {
  LogCapture log;
  AddMount("/ck1", "1", false);
  std::string result;
  ASSERT_TRUE(Snap("/fs10", "21", "ck1", &result));
  EXPECT_EQ(result, "/ck1");
  EXPECT_EQ(CountOf(sim(), "MountQueryParams"), 1u);
  EXPECT_EQ(CountOf(sim(), "NewMount"), 0u);
  EXPECT_FALSE(log.Contains("Unable to find the file system name in the share path"));
}

// ------------------------------------------------------------ mount search

TEST_F(SnapDevTest, TheCheckpointMustBeAWholePathComponent) {
  LogCapture log;
  AddMount("/ck10", "1", false, "23");
  AddMount("/ck1_old", "1", false, "23");
  AddMount("/ck1", "1", false);
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere/data", "21", "ck1", &result));
  EXPECT_EQ(result, "/ck1");
  EXPECT_EQ(CountOf(sim(), "NewMount"), 0u);
  EXPECT_TRUE(log.Contains("Unable to find the file system name in the share path[/elsewhere/data]."));
  EXPECT_TRUE(log.Contains("Mount Point [/ck10]"));
  EXPECT_TRUE(log.Contains("Path[/ck1] will be exported"));
}

TEST_F(SnapDevTest, EveryOccurrenceOfTheNameCounts) {
  AddMount("/ck1_old/ck1", "1", false);
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", "21", "ck1", &result));
  EXPECT_EQ(result, "/ck1_old/ck1");
  EXPECT_EQ(CountOf(sim(), "NewMount"), 0u);
}

TEST_F(SnapDevTest, OnlyLookAlikesMeansANewMount) {
  AddMount("/ck10", "1", false, "23");
  AddMount("/xck1", "1", false, "23");
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", "21", "ck1", &result));
  EXPECT_EQ(result, "/ck1");
  EXPECT_EQ(CountOf(sim(), "NewMount"), 1u);
}

TEST_F(SnapDevTest, MountSearchOnAVdmGivesThePathOnTheMover) {
  AddMount("/ck1", "3", true);
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", "24", "ck1", &result));
  EXPECT_EQ(result, "/root_vdm_3/ck1");
  EXPECT_EQ(CountOf(sim(), "NewMount"), 0u);
}

TEST_F(SnapDevTest, NonAsciiMountPathsComeBackIntact) {
  const std::string path = "/donn\xC3\xA9" "es_\xE2\x82\xAC/ck1";
  AddMount(path, "1", false);
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", "21", "ck1", &result));
  EXPECT_EQ(result, path);
}

// ----------------------------------------------------------- mount fallback

TEST_F(SnapDevTest, NoMountMeansOneNewMountAtTheRoot) {
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", "21", "ck1", &result, "31"));
  EXPECT_EQ(result, "/ck1");
  EXPECT_EQ(CountOf(sim(), "NewMount"), 1u);
  bool found = false;
  for (const auto& m : Mounts())
    if (m.path == "/ck1") {
      found = true;
      EXPECT_EQ(m.fsId, "31");
      EXPECT_EQ(m.moverId, "1");
      EXPECT_FALSE(m.moverIsVdm);
    }
  EXPECT_TRUE(found);

  // Asked again, the mount is found instead of made twice.
  ASSERT_TRUE(Snap("/elsewhere", "21", "ck1", &result, "31"));
  EXPECT_EQ(result, "/ck1");
  EXPECT_EQ(CountOf(sim(), "NewMount"), 1u);
}

TEST_F(SnapDevTest, ANewMountOnAVdmIsReturnedAsTheMoverSeesIt) {
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", "24", "ck1", &result));
  EXPECT_EQ(result, "/root_vdm_3/ck1");
  EXPECT_EQ(CountOf(sim(), "NewMount"), 1u);
  // The path exists on the physical mover that runs the VDM.
  auto facade = NewFacade();
  CelerraMountPointsInfo_t mount;
  ASSERT_TRUE(facade->GetMountPointInfo(mount, result, "1", false));
  EXPECT_EQ(mount.fileSystem, "31");
}

TEST_F(SnapDevTest, NonAsciiCheckpointNameMountedIntact) {
  const std::string name = "ck_\xC3\xA9t\xC3\xA9";
  std::string result;
  ASSERT_TRUE(Snap("/elsewhere", "21", name, &result));
  EXPECT_EQ(result, "/" + name);
  bool found = false;
  for (const auto& m : Mounts()) found = found || m.path == "/" + name;
  EXPECT_TRUE(found);
}

// ---------------------------------------------------------------- failures

TEST_F(SnapDevTest, NameLookupFailure) {
  LogCapture log;
  sim().AddFault(ProblemFault("FileSystemQueryParams", "3101", "no such file system"));
  std::string result;
  EXPECT_FALSE(Snap("/fs1/dir1", "21", "ck1", &result));
  EXPECT_EQ(result, kUntouched);
  EXPECT_EQ(m_LastError.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(m_LastError.m_sMessageCode, "3101");
  EXPECT_TRUE(log.Contains("Unable to get the file system name for file system ID[21]"));
  EXPECT_EQ(CountOf(sim(), "MountQueryParams"), 0u);
}

TEST_F(SnapDevTest, MountListFailure) {
  LogCapture log;
  sim().AddFault(ProblemFault("MountQueryParams", "3102", "mover busy"));
  std::string result;
  EXPECT_FALSE(Snap("/elsewhere", "21", "ck1", &result));
  EXPECT_EQ(result, kUntouched);
  EXPECT_EQ(m_LastError.m_sMessageCode, "3102");
  EXPECT_TRUE(log.Contains("Unable to get the file system mount points for file system ID[21]"));
  EXPECT_EQ(CountOf(sim(), "NewMount"), 0u);
}

TEST_F(SnapDevTest, MountFailure) {
  LogCapture log;
  std::string result;
  // The server knows no file system 9999: the mount is refused.
  EXPECT_FALSE(Snap("/elsewhere", "21", "ck1", &result, "9999"));
  EXPECT_EQ(result, kUntouched);
  EXPECT_EQ(m_LastError.m_eStatus, STATUS_ERROR);
  EXPECT_FALSE(m_LastError.m_sMessageCode.empty());
  EXPECT_TRUE(log.Contains("Unable to mount RW Checkpoint[ck1] at its root"));
  EXPECT_EQ(CountOf(sim(), "NewMount"), 1u);
}

TEST_F(SnapDevTest, UnusableCheckpointNamesSendNothing) {
  std::string result;
  EXPECT_FALSE(Snap("/fs1/dir1", "21", "", &result));
  EXPECT_FALSE(Snap("/elsewhere", "21", "a/b", &result));
  EXPECT_EQ(result, kUntouched);
  EXPECT_TRUE(sim().Journal().empty());
}

// -------------------------------------------------------------- entry points

TEST_F(SnapDevTest, SelfContainedCallCleansUpAndLogsNoPassword) {
  LogCapture log;
  std::string result = kUntouched;
  ASSERT_TRUE(Celerra_GetSnapDeviceName(9, sim().address(), kUser, kPassword, "/fs1/dir1", "21", "31", "ck1", result));
  EXPECT_EQ(result, "/ck1/dir1");
  for (const auto& f : m_Temp->Files()) EXPECT_EQ(f.find("CelerraCookie"), std::string::npos) << f;
  for (const auto& line : log.Lines()) EXPECT_EQ(line.find(kPassword), std::string::npos) << line;

  result = kUntouched;
  EXPECT_FALSE(Celerra_GetSnapDeviceName(9, sim().address(), kUser, "", "/fs1/dir1", "21", "31", "ck1", result));
  EXPECT_EQ(result, kUntouched);
}

TEST(SnapDevExports, BothNamesAreInTheDynamicSymbolTableUnmangled) {
  std::string symbols;
  if (FILE* p = popen(("nm -D --defined-only " + Library()).c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) symbols.append(buf, n);
    pclose(p);
  }
  ASSERT_FALSE(symbols.empty()) << "nm found nothing in " << Library();
  EXPECT_NE(symbols.find(" T Celerra_GetSnapDeviceName\n"), std::string::npos) << symbols;
  EXPECT_NE(symbols.find(" T Celerra_GetSnapDeviceNameWithManageCelerra\n"), std::string::npos);
}

TEST_F(SnapDevTest, AHostFindsAndCallsBothWithDlsym) {
  void* lib = dlopen(Library().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto selfContained = reinterpret_cast<Celerra_GetSnapDeviceName_t>(dlsym(lib, "Celerra_GetSnapDeviceName"));
  auto withFacade = reinterpret_cast<Celerra_GetSnapDeviceNameWithManageCelerra_t>(
      dlsym(lib, "Celerra_GetSnapDeviceNameWithManageCelerra"));
  ASSERT_NE(selfContained, nullptr);
  ASSERT_NE(withFacade, nullptr);

  std::string result;
  EXPECT_TRUE(selfContained(5, sim().address(), kUser, kPassword, "/fs1/x", "21", "31", "ck1", result));
  EXPECT_EQ(result, "/ck1/x");
  auto facade = NewFacade();
  EXPECT_TRUE(withFacade(*facade, "/root_vdm_3/vdmfs1", "24", "31", "ck2", result));
  EXPECT_EQ(result, "/root_vdm_3/ck2");
  dlclose(lib);
}

}  // namespace
