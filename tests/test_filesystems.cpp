// File-system lookups against the simulator over HTTPS: one file system by
// id or name, the whole list with capacity figures, and name by id.
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

struct Pfs {
  std::string id, stgId, savVolId, name, moverId;
  eCelerraStgType stgType = STG_TYPE_NONE;
  bool moverIsVdm = false;
};

class FileSystemTest : public SimTest {
 protected:
  bool GetPfs(Pfs& p) {
    auto facade = NewFacade();
    bool ok = facade->GetPFSInfo(p.id, p.stgType, p.stgId, p.savVolId, p.name, p.moverId, p.moverIsVdm);
    m_Error = facade->GetLastError1();
    return ok;
  }
  std::vector<CelerraFileSystem_t> List(bool expectOk = true) {
    auto facade = NewFacade();
    std::vector<CelerraFileSystem_t> v;
    EXPECT_EQ(facade->GetFSInfo(v), expectOk);
    m_Error = facade->GetLastError1();
    return v;
  }
  static const CelerraFileSystem_t* Find(const std::vector<CelerraFileSystem_t>& v, const std::string& id) {
    for (const auto& fs : v)
      if (fs.m_sFSId == id) return &fs;
    return nullptr;
  }
  void Canned(const std::string& reply) { sim().AddFault(CannedFault("", reply)); }
  CelerraError m_Error;
};

// ------------------------------------------------------------ GetPFSInfo

// By id, by name (a leading slash dropped, a sub-path sent as its file
// system's alias), the id winning over a name, on a VDM, without a save
// volume: the outputs and what was sent.
TEST_F(FileSystemTest, PfsByIdOrName) {
  struct Row {
    std::string id, name;
    Pfs want;
    const char* sent;    // in the request
    const char* unsent;  // not in it
  };
  const Row rows[] = {
      {kFs1,
       "",
       {kFs1, kPerformancePool, kFs1SavVol, "fs1", "1", STG_TYPE_POOL, false},
       "<FileSystem fileSystem=\"21\"/>",
       "<Alias"},
      {"", "/fs1", {kFs1, kPerformancePool, kFs1SavVol, "fs1", "1", STG_TYPE_POOL, false}, "<Alias name=\"fs1\"/>", ""},
      {"",
       "/fs1/sub",
       {kFs1, kPerformancePool, kFs1SavVol, "fs1/sub", "1", STG_TYPE_POOL, false},
       "<Alias name=\"fs1\"/>",
       ""},
      // Only the id goes out: the name is the server's.
      {kFs2, "fs1", {kFs2, kFs2Volume, "", "fs2", "2", STG_TYPE_VOLUME, false}, "fileSystem=\"22\"", "<Alias"},
      {"", "vdmfs1", {kVdmFs1, "", "", "vdmfs1", "3", STG_TYPE_NONE, true}, "<Alias name=\"vdmfs1\"/>", ""},
      {"", "fs10", {kFs10, "", "", "fs10", "1", STG_TYPE_NONE, false}, "<Alias name=\"fs10\"/>", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.id + row.name);
    sim().ClearJournal();
    LogCapture log;
    Pfs p;
    p.id = row.id;
    p.name = row.name;
    ASSERT_TRUE(GetPfs(p)) << m_Error.m_sMessage;
    EXPECT_EQ(p.id, row.want.id);
    EXPECT_EQ(p.name, row.want.name);
    EXPECT_EQ(p.moverId, row.want.moverId);
    EXPECT_EQ(p.moverIsVdm, row.want.moverIsVdm);
    if (row.want.stgType != STG_TYPE_NONE) {
      EXPECT_EQ(p.stgType, row.want.stgType);
      EXPECT_EQ(p.stgId, row.want.stgId);
      EXPECT_EQ(p.savVolId, row.want.savVolId);
    }
    if (p.savVolId.empty()) {
      EXPECT_TRUE(log.Contains("SavVol:[Empty]"));
    }
    auto requests = sim().Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].body.find(row.sent), std::string::npos) << requests[0].body;
    EXPECT_NE(requests[0].body.find("</RequestPacket >"), std::string::npos);
    if (*row.unsent) {
      EXPECT_EQ(requests[0].body.find(row.unsent), std::string::npos);
    }
  }
}

// Replies the server marks ok that do not answer the question, or answer it
// for another file system, fail with a reason; both storage kinds listed
// mean the pool.
TEST_F(FileSystemTest, PfsRepliesThatDoNotAnswerAreRefused) {
  const std::string fs = "<FileSystem fileSystem=\"21\" name=\"fs1\"/>";
  const std::string pool = "<StoragePoolBased recommendedPool=\"40\"/>";
  const std::string caps = "<FileSystemCapabilities fileSystem=\"21\">" + pool + "</FileSystemCapabilities>";
  struct Row {
    const char* what;
    std::string body;
    bool ok;
    const char* logged;   // "" : nothing particular
    const char* message;  // in the last error
  };
  const Row rows[] = {
      {"no capabilities", "<FileSystem fileSystem=\"21\" name=\"fs1\"><RwFileSystemHosts mover=\"1\"/></FileSystem>",
       false, "StgType or StgTypeId is empty", "FileSystemCapabilities"},
      {"another file system's capabilities",
       fs + "<FileSystemCapabilities fileSystem=\"22\">" + pool +
           "<DiskVolumeBased recommendedStorage=\"300\"/></FileSystemCapabilities>",
       false, "", ""},
      {"two capabilities elements", fs + caps + caps, false,
       "Inappropriate number [2] of FileSystemCapabilities nodes in XML", ""},
      {"another file system's save volume", fs + "<FileSystemCheckpointInfo fileSystem=\"22\" savVolume=\"7\"/>" + caps,
       false, "", ""},
      {"both storage kinds",
       fs + "<FileSystemCapabilities fileSystem=\"21\">" + pool +
           "<DiskVolumeBased recommendedStorage=\"300\"/></FileSystemCapabilities>",
       true, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    std::string body = row.body;
    sim().AddHandler("FileSystemQueryParams",
                     [body](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(body); });
    LogCapture log;
    Pfs p;
    p.id = kFs1;
    EXPECT_EQ(GetPfs(p), row.ok);
    EXPECT_TRUE(log.Contains(row.logged));
    if (row.ok) {
      EXPECT_EQ(p.stgType, STG_TYPE_POOL);
      EXPECT_EQ(p.stgId, kPerformancePool);
      continue;
    }
    // The server said ok, but the reply answered nothing: not a status-0
    // record, and no half-filled outputs.
    EXPECT_EQ(m_Error.m_eStatus, STATUS_ERROR);
    EXPECT_NE(m_Error.m_sMessage, "");
    EXPECT_NE(m_Error.m_sMessage.find(row.message), std::string::npos) << m_Error.m_sMessage;
    EXPECT_EQ(p.stgType, STG_TYPE_NONE);
    EXPECT_EQ(p.savVolId, "");
    EXPECT_TRUE(log.Contains("Unable to get PFS info for PFS:[21]"));
  }
}

// ------------------------------------------------------------- GetFSInfo

TEST_F(FileSystemTest, ListHasEveryFileSystemWithItsFigures) {
  sim().WithModel([](celsim::Model& m) {
    m.FindFs(kFs10)->storagePools = {12, 7};
    m.FindFs(kFs1)->volumeSize = 6000000000000LL;  // beyond 32 bits
    m.FindFs(kFs1Ckpt1)->volumeSize = 777;
    m.FindFs(kFs1Ckpt1)->spaceUsed = 55;
    return 0;
  });
  auto v = List();
  ASSERT_EQ(v.size(), 6u);
  const CelerraFileSystem_t* fs1 = Find(v, kFs1);
  ASSERT_NE(fs1, nullptr);
  EXPECT_EQ(fs1->m_sName, "fs1");
  EXPECT_EQ(fs1->m_sType, "uxfs");
  EXPECT_EQ(fs1->m_sMoverId, "1");
  EXPECT_EQ(fs1->m_vStoragePools, std::vector<int>{40});
  EXPECT_EQ(fs1->m_nVolumeSize, 6000000000000LL);
  EXPECT_EQ(fs1->m_nSpaceTotal, 10079);
  EXPECT_EQ(fs1->m_nSpaceUsed, 1203);
  EXPECT_EQ(fs1->m_nFilesTotal, 1294336);
  EXPECT_EQ(fs1->m_nFilesUsed, 2048);
  EXPECT_EQ(Find(v, kFs10)->m_vStoragePools, (std::vector<int>{12, 7}));
  EXPECT_TRUE(Find(v, kFs2)->m_vStoragePools.empty());  // volume-based: no pools attribute
  EXPECT_EQ(Find(v, kFs1Ckpt1)->m_sType, "ckpt");
  // Capacity is paired by id: fs_unmounted (25) has none and keeps zeros,
  // and the checkpoint after it (31) keeps its own figures.
  const CelerraFileSystem_t* idle = Find(v, kFsUnmounted);
  ASSERT_NE(idle, nullptr);
  EXPECT_EQ(idle->m_nVolumeSize + idle->m_nSpaceUsed + idle->m_nFilesTotal, 0);
  EXPECT_EQ(Find(v, kFs1Ckpt1)->m_nVolumeSize, 777);
  EXPECT_EQ(Find(v, kFs1Ckpt1)->m_nSpaceUsed, 55);
}

TEST_F(FileSystemTest, CapacityInAnotherOrderStillMatches) {
  Canned(
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
      "<ResponsePacket xmlns=\"urn:x\">\n <Response>\n  <QueryStatus maxSeverity = \"ok\"/>\n"
      "  <FileSystem fileSystem=\"1\" name=\"a\" type=\"uxfs\" storagePools=\"5\" extra=\"x\">"
      "<FileSystemPolicies><Policy name=\"p\"/></FileSystemPolicies><RwFileSystemHosts mover=\"2\"/></FileSystem>\n"
      "  <FileSystem fileSystem=\"2\" name=\"b\" type=\"uxfs\"/>\n"
      "  <FileSystem fileSystem=\"3\" name=\"c\" type=\"uxfs\"/>\n"
      "  <FileSystemCapacityInfo fileSystem=\"3\" volumeSize=\"30\"><ResourceUsage spaceUsed=\"3\"/>"
      "</FileSystemCapacityInfo>\n"
      "  <FileSystemCapacityInfo fileSystem=\"1\" volumeSize=\"10\"><ResourceUsage spaceUsed=\"1\"/>"
      "</FileSystemCapacityInfo>\n"
      " </Response>\n</ResponsePacket>\n");
  auto v = List();
  ASSERT_EQ(v.size(), 3u);
  EXPECT_EQ(v[0].m_nVolumeSize, 10);
  EXPECT_EQ(v[0].m_nSpaceUsed, 1);
  EXPECT_EQ(v[0].m_sMoverId, "2");
  EXPECT_EQ(v[0].m_vStoragePools, std::vector<int>{5});
  EXPECT_EQ(v[1].m_nVolumeSize, 0);
  EXPECT_EQ(v[2].m_nVolumeSize, 30);
  EXPECT_EQ(v[2].m_nSpaceUsed, 3);
}

// Figures that name no file system at all can only be read by position; the
// list must not hand every file system a zero capacity.
TEST_F(FileSystemTest, CapacityWithoutIdsIsPairedByPosition) {
  Canned(
      "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
      "<FileSystem fileSystem=\"1\" name=\"a\" type=\"uxfs\"/>"
      "<FileSystem fileSystem=\"2\" name=\"b\" type=\"uxfs\"/>"
      "<FileSystemCapacityInfo volumeSize=\"10\"><ResourceUsage spaceUsed=\"1\" filesTotal=\"100\"/>"
      "</FileSystemCapacityInfo>"
      "<FileSystemCapacityInfo volumeSize=\"20\"><ResourceUsage spaceUsed=\"2\" filesTotal=\"200\"/>"
      "</FileSystemCapacityInfo>"
      "</Response></ResponsePacket>");
  auto v = List();
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].m_nVolumeSize, 10);
  EXPECT_EQ(v[0].m_nSpaceUsed, 1);
  EXPECT_EQ(v[0].m_nFilesTotal, 100);
  EXPECT_EQ(v[1].m_nVolumeSize, 20);
  EXPECT_EQ(v[1].m_nSpaceUsed, 2);

  // Once any figure names its file system, the ids decide: one without an
  // id belongs to nobody.
  Canned(
      "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
      "<FileSystem fileSystem=\"1\" name=\"a\" type=\"uxfs\"/>"
      "<FileSystem fileSystem=\"2\" name=\"b\" type=\"uxfs\"/>"
      "<FileSystemCapacityInfo volumeSize=\"99\"/>"
      "<FileSystemCapacityInfo fileSystem=\"2\" volumeSize=\"20\"/>"
      "</Response></ResponsePacket>");
  v = List();
  ASSERT_EQ(v.size(), 2u);
  EXPECT_EQ(v[0].m_nVolumeSize, 0);
  EXPECT_EQ(v[1].m_nVolumeSize, 20);
}

TEST_F(FileSystemTest, EmptyServerGivesAnEmptyList) {
  LogCapture log;
  sim().WithModel([](celsim::Model& m) {
    m.fileSystems.clear();
    return 0;
  });
  EXPECT_TRUE(List().empty());
  EXPECT_TRUE(log.Contains("Found 0 file Systems"));
}

// ------------------------------------------------------- GetFSNameByFSId

TEST_F(FileSystemTest, NameById) {
  auto facade = NewFacade();
  std::string name, mover;
  bool vdm = true;
  ASSERT_TRUE(facade->GetFSNameByFSId(kFs1, name, mover, vdm));
  EXPECT_EQ(name, "fs1");
  EXPECT_EQ(mover, "1");
  EXPECT_FALSE(vdm);
  ASSERT_TRUE(facade->GetFSNameByFSId(kVdmFs1, name, mover, vdm));
  EXPECT_EQ(name, "vdmfs1");
  EXPECT_EQ(mover, "3");
  EXPECT_TRUE(vdm);
  auto requests = sim().Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_NE(requests[0].body.find("<AspectSelection fileSystems=\"true\"/>"), std::string::npos);
}

TEST_F(FileSystemTest, OkReplyWithoutAMoverIsAFailure) {
  // fs_unmounted has no read/write host: the server answers ok, the body
  // does not answer the question.
  auto facade = NewFacade();
  std::string name, mover;
  bool vdm = false;
  EXPECT_FALSE(facade->GetFSNameByFSId(kFsUnmounted, name, mover, vdm));
  CelerraError e = facade->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_NE(e.m_sMessage.find("mover"), std::string::npos);
}

TEST_F(FileSystemTest, OkReplyWithoutAFileSystemIsAFailure) {
  Canned("<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/></Response></ResponsePacket>");
  auto facade = NewFacade();
  std::string name, mover;
  bool vdm = false;
  EXPECT_FALSE(facade->GetFSNameByFSId(kFs1, name, mover, vdm));
  EXPECT_EQ(name, "");
  EXPECT_EQ(facade->GetLastError1().m_eStatus, STATUS_ERROR);
}

}  // namespace
