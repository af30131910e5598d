// Checkpoint operations against the simulator over HTTPS: list and lookup,
// writeable and read-only creation (with the server's "already exists"
// answers), delete and restore, and how server problems reach the caller.
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

class CheckpointTest : public SimTest {
 protected:
  std::list<CelerraChkPtInfo> List(const std::string& name, bool expectOk = true) {
    auto facade = NewFacade();
    std::list<CelerraChkPtInfo> out;
    EXPECT_EQ(facade->GetChkPointsInfo(name, out), expectOk) << name;
    m_Error = facade->GetLastError1();
    return out;
  }
  static const CelerraChkPtInfo* Named(const std::list<CelerraChkPtInfo>& l, const std::string& name) {
    for (const auto& c : l)
      if (c.m_sChkPtName == name) return &c;
    return nullptr;
  }
  // A writeable checkpoint of fs1 with a new baseline.
  void CreateRw(ManageCelerra& facade, const std::string& name, std::string& base, std::string& id) {
    ASSERT_TRUE(facade.CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, name, true, base, id));
  }
  std::string LastBodyOf(const std::string& type) {
    std::string body;
    for (const auto& r : sim().Requests())
      if (r.messageType == type) body = r.body;
    return body;
  }
  CelerraError m_Error;
};

// ------------------------------------------------------------ listing

TEST_F(CheckpointTest, ListAll) {
  LogCapture log;
  auto l = List("");
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l.front().m_sChkPtId, kFs1Ckpt1);
  EXPECT_EQ(l.front().m_sChkPtName, "fs1_ckpt1");
  EXPECT_EQ(l.front().m_sFSId, kFs1);
  EXPECT_EQ(l.front().m_sBaseChkPtId, "");
  EXPECT_TRUE(log.Contains("Getting chkpoint(s) info for [ALL] chkpoint(s)"));
  EXPECT_NE(LastBodyOf("CheckpointQueryParams").find("<CheckpointQueryParams/>"), std::string::npos);
}

TEST_F(CheckpointTest, LookupByName) {
  auto facade = NewFacade();
  std::string id = "x", base = "x";
  ASSERT_TRUE(facade->GetChkPointInfo("fs1_ckpt1", id, base));
  EXPECT_EQ(id, kFs1Ckpt1);
  EXPECT_EQ(base, "");
  EXPECT_NE(LastBodyOf("CheckpointQueryParams").find("<Alias name=\"fs1_ckpt1\"/>"), std::string::npos);
}

TEST_F(CheckpointTest, NameListedTwiceIsAFailure) {
  sim().WithModel([](celsim::Model& m) {
    celsim::FileSystem twin = *m.FindFs(kFs1Ckpt1);
    twin.id = "32";
    m.fileSystems.push_back(twin);
    return 0;
  });
  EXPECT_TRUE(List("fs1_ckpt1", false).empty());
  EXPECT_EQ(m_Error.m_eStatus, STATUS_ERROR);
  EXPECT_NE(m_Error.m_sMessage.find("2 checkpoints"), std::string::npos);

  LogCapture log;
  auto facade = NewFacade();
  std::string id, base;
  EXPECT_FALSE(facade->GetChkPointInfo("fs1_ckpt1", id, base));
  EXPECT_EQ(id, "");
  EXPECT_TRUE(log.Contains("Unable to get chkpt info for chkpt:[fs1_ckpt1]"));
  // Both are there when listed without a name.
  EXPECT_EQ(List("").size(), 2u);
}

TEST_F(CheckpointTest, CheckpointWithoutItsFileSystemFailsTheList) {
  sim().AddFault(CannedFault("CheckpointQueryParams",
                             "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
                             "<Checkpoint checkpoint=\"1\" name=\"a\" checkpointOf=\"21\"/>"
                             "<Checkpoint checkpoint=\"2\" name=\"b\"/></Response></ResponsePacket>"));
  EXPECT_TRUE(List("", false).empty());
  EXPECT_EQ(m_Error.m_eStatus, STATUS_ERROR);
  EXPECT_FALSE(m_Error.m_sMessage.empty());
}

TEST_F(CheckpointTest, EmptyServerListsNothing) {
  sim().WithModel([](celsim::Model& m) {
    m.fileSystems.clear();
    return 0;
  });
  EXPECT_TRUE(List("").empty());
}

// ----------------------------------------------------------- creation

TEST_F(CheckpointTest, WriteableWithNewBaseline) {
  auto facade = NewFacade();
  std::string base, id;
  CreateRw(*facade, "rw1", base, id);
  EXPECT_FALSE(base.empty());
  EXPECT_FALSE(id.empty());
  std::string body = LastBodyOf("NewCheckpoint");
  EXPECT_NE(body.find("<BaselineCheckpoint baselineName=\"rw1_baseline\"/>"), std::string::npos);
  EXPECT_NE(body.find("<StartTask timeout=\"600\">"), std::string::npos);
  auto l = List("");
  ASSERT_NE(Named(l, "rw1"), nullptr);
  ASSERT_NE(Named(l, "rw1_baseline"), nullptr);
  EXPECT_EQ(Named(l, "rw1")->m_sChkPtId, id);
  EXPECT_EQ(Named(l, "rw1")->m_sBaseChkPtId, base);
  EXPECT_EQ(Named(l, "rw1_baseline")->m_sChkPtId, base);
}

TEST_F(CheckpointTest, WriteableOnAnExistingBaseline) {
  auto facade = NewFacade();
  std::string base = kFs1Ckpt1, id;
  ASSERT_TRUE(facade->CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "rw2", false, base, id));
  EXPECT_EQ(base, kFs1Ckpt1);
  EXPECT_NE(LastBodyOf("NewCheckpoint").find("<BaselineCheckpoint baselineCheckpoint=\"31\"/>"), std::string::npos);
}

// Asked again for a writeable checkpoint that exists, the facade returns its
// ids with a clean record: the server's 13690535947 in the task reply (the
// baseline given by id), the same in a bare status reply, or, with a new
// baseline, 13690535982 or 13421840550 and the facade's own lookup.
TEST_F(CheckpointTest, AWriteableCheckpointThatExistsIsASuccess) {
  struct Row {
    const char* name;
    bool newBaseline;
    std::function<void(celsim::Simulator&)> again;
    const char* logged;
  };
  const Row rows[] = {
      {"rw3", false, [](celsim::Simulator&) {}, "already exists, treating this as a success"},
      {"rw4", false,
       [](celsim::Simulator& s) {
         celsim::ReplyStyle style;
         style.failureShape = celsim::FailureShape::BareStatus;
         s.SetStyle(style);
       },
       ""},
      {"rw5", true, [](celsim::Simulator&) {}, "RW chkpt already exists [rw5]"},
      {"rw6", true,
       [](celsim::Simulator& s) { s.AddFault(ProblemFault("NewCheckpoint", "13421840550", "Name in use")); }, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    sim().SetStyle(celsim::ReplyStyle());
    auto facade = NewFacade();
    std::string base = row.newBaseline ? "" : kFs1Ckpt1, id;
    ASSERT_TRUE(facade->CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, row.name, row.newBaseline, base, id));
    row.again(sim());
    LogCapture log;
    std::string base2 = row.newBaseline ? "" : kFs1Ckpt1, id2;
    ASSERT_TRUE(facade->CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, row.name, row.newBaseline, base2, id2));
    EXPECT_TRUE(log.Contains(row.logged));
    EXPECT_EQ(id2, id);
    EXPECT_EQ(base2, base);
    CelerraError e = facade->GetLastError1();
    EXPECT_EQ(e.m_eStatus, STATUS_OK);
    EXPECT_EQ(e.m_sMessageCode, "");
  }
}

TEST_F(CheckpointTest, CreateRefusedByTheServerFails) {
  sim().AddFault(ProblemFault("NewCheckpoint", "13690535000", "No space left in the pool"));
  auto facade = NewFacade();
  std::string base, id;
  LogCapture log;
  EXPECT_FALSE(facade->CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "rw6", true, base, id));
  EXPECT_TRUE(log.Contains("Unable to create checkpoint for PFS:[21]"));
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "13690535000");
  EXPECT_EQ(Sent("CheckpointQueryParams").size(), 0u);
}

TEST_F(CheckpointTest, CreatedButNotFoundFails) {
  // The task succeeds but the lookup is refused: no ids, the lookup's error.
  sim().AddFault(ProblemFault("CheckpointQueryParams", "13690535999", "busy"));
  auto facade = NewFacade();
  std::string id;
  LogCapture log;
  EXPECT_FALSE(facade->CreateROChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "ro9", id));
  EXPECT_EQ(id, "");
  EXPECT_TRUE(log.Contains("Unable to get chkpoint info for chkpt:[ro9]"));
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "13690535999");
}

TEST_F(CheckpointTest, ReadOnlyInAPoolAndOnAVolume) {
  auto facade = NewFacade();
  std::string poolId, volId;
  ASSERT_TRUE(facade->CreateROChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "ro1", poolId));
  EXPECT_NE(LastBodyOf("NewCheckpoint").find("<StoragePool pool=\"40\"/>"), std::string::npos);
  ASSERT_TRUE(facade->CreateROChkPt(kFs2, STG_TYPE_VOLUME, kFs2Volume, "ro2", volId));
  EXPECT_NE(LastBodyOf("NewCheckpoint").find("<Volume volume=\"300\"/>"), std::string::npos);
  EXPECT_NE(poolId, volId);
  auto l = List("");
  ASSERT_NE(Named(l, "ro2"), nullptr);
  EXPECT_EQ(Named(l, "ro2")->m_sFSId, kFs2);

  // fs2 has a checkpoint now, so it has a save volume.
  std::string pfsId = kFs2, stgId, savVol, name, mover;
  eCelerraStgType type;
  bool vdm;
  ASSERT_TRUE(facade->GetPFSInfo(pfsId, type, stgId, savVol, name, mover, vdm));
  EXPECT_FALSE(savVol.empty());
}

TEST_F(CheckpointTest, ReadOnlyWithATakenNameFails) {
  auto facade = NewFacade();
  std::string id;
  EXPECT_FALSE(facade->CreateROChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "fs1_ckpt1", id));
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "13421840550");
}

// ------------------------------------------------------ delete, restore

TEST_F(CheckpointTest, DeleteAndDeleteAgain) {
  auto facade = NewFacade();
  ASSERT_TRUE(facade->DeleteChkPt(kFs1Ckpt1, "", false));
  EXPECT_NE(LastBodyOf("DeleteCheckpoint").find("<DeleteCheckpoint checkpoint=\"31\" force=\"false\"/>"),
            std::string::npos);
  EXPECT_TRUE(List("").empty());
  LogCapture log;
  ASSERT_TRUE(facade->DeleteChkPt(kFs1Ckpt1, "", false));
  EXPECT_TRUE(log.Contains("seems to have been deleted already"));
}

TEST_F(CheckpointTest, ForcedBaselineDeleteTakesTheWriteableCheckpoint) {
  auto facade = NewFacade();
  std::string base, id;
  CreateRw(*facade, "rw7", base, id);
  // Without force the baseline of a writeable checkpoint stays.
  EXPECT_FALSE(facade->DeleteChkPt(base, "", false));
  ASSERT_TRUE(facade->DeleteChkPt(id, base, true));
  EXPECT_NE(LastBodyOf("DeleteCheckpoint").find("checkpoint=\"" + base + "\" force=\"true\""), std::string::npos);
  auto l = List("");
  EXPECT_EQ(Named(l, "rw7"), nullptr);
  EXPECT_EQ(Named(l, "rw7_baseline"), nullptr);
}

TEST_F(CheckpointTest, Restore) {
  auto facade = NewFacade();
  ASSERT_TRUE(facade->RestorePFSFromChkPt("fs1_ckpt1", kFs1Ckpt1, kFs1));
  std::string body = LastBodyOf("RestoreCheckpoint");
  EXPECT_NE(body.find("<RestoreCheckpoint checkpoint=\"31\"/>"), std::string::npos);
  EXPECT_EQ(body.find("fs1_ckpt1"), std::string::npos);  // only the id is sent

  celsim::Fault f = ProblemFault("RestoreCheckpoint", "13690535970", "File system is busy");
  f.style.failureShape = celsim::FailureShape::PacketFault;
  sim().AddFault(f);
  EXPECT_FALSE(facade->RestorePFSFromChkPt("fs1_ckpt1", kFs1Ckpt1, kFs1));
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "13690535970");
}

}  // namespace
