// Refusals in every shape the control station writes them, through the
// public operations that meet them: a refused task or query is a failure
// with the server's problem in the last error, never a success. (What the
// command line makes of each shape: test_cli_commands.cpp.)
#include "tests/support/TestSupport.h"

using namespace celtest;
using celsim::FailureShape;

namespace {

const FailureShape kShapes[] = {FailureShape::Status, FailureShape::Fault, FailureShape::PacketFault,
                                FailureShape::BareStatus};

const char* ShapeName(FailureShape shape) {
  switch (shape) {
    case FailureShape::Status: return "Status";
    case FailureShape::Fault: return "Fault in Response";
    case FailureShape::PacketFault: return "PacketFault";
    case FailureShape::BareStatus: return "Status without TaskResponse";
  }
  return "?";
}

struct Operation {
  const char* name;
  const char* messageType;
  std::function<bool(ManageCelerra&)> run;
};

class ReplyShapeTest : public SimTest {
 protected:
  void Refuse(const char* type, FailureShape shape, const char* severity = "error") {
    celsim::Fault fault = ProblemFault(type, "13421850000", "refused by the server", severity);
    fault.style.failureShape = shape;
    sim().AddFault(fault);
  }
};

TEST_F(ReplyShapeTest, RefusedTasksFailWithTheServersProblem) {
  const std::vector<Operation> tasks = {
      {"CreateMount", "NewMount", [](ManageCelerra& f) { return f.CreateMount("/new_ck", "1", kFs1Ckpt1, "false"); }},
      {"DeleteChkPt", "DeleteCheckpoint", [](ManageCelerra& f) { return f.DeleteChkPt(kFs1Ckpt1, "", false); }},
      {"RestorePFSFromChkPt", "RestoreCheckpoint",
       [](ManageCelerra& f) { return f.RestorePFSFromChkPt("fs1_ckpt1", kFs1Ckpt1, kFs1); }},
      {"DeleteNFSShare", "DeleteNfsExport", [](ManageCelerra& f) { return f.DeleteNFSShare("/fs1", "1"); }},
      {"DeleteCifsShare", "DeleteCifsShare",
       [](ManageCelerra& f) { return f.DeleteCifsShare("1", "fs1share", false, {"CIFS_SRV1"}); }},
  };
  for (const Operation& op : tasks) {
    for (FailureShape shape : kShapes) {
      SCOPED_TRACE(std::string(op.name) + " / " + ShapeName(shape));
      Refuse(op.messageType, shape);
      auto facade = NewFacade();
      EXPECT_FALSE(op.run(*facade));
      CelerraError e = facade->GetLastError1();
      EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
      EXPECT_EQ(e.m_sMessageCode, "13421850000");
      EXPECT_EQ(e.m_sMessage.rfind("refused by the server", 0), 0u) << e.m_sMessage;
      sim().ClearFaults();
    }
  }
}

TEST_F(ReplyShapeTest, RefusedQueriesFailWithTheServersProblem) {
  const std::vector<Operation> queries = {
      {"GetFSInfo", "FileSystemQueryParams",
       [](ManageCelerra& f) {
         std::vector<CelerraFileSystem_t> v;
         return f.GetFSInfo(v);
       }},
      {"GetChkPointsInfo", "CheckpointQueryParams",
       [](ManageCelerra& f) {
         std::list<CelerraChkPtInfo> v;
         return f.GetChkPointsInfo("", v);
       }},
      {"GetNFSInfo", "NfsExportQueryParams",
       [](ManageCelerra& f) {
         std::vector<CelerraNFSInfo_t> v;
         return f.GetNFSInfo(v);
       }},
      {"GetMountPtsInfo", "MountQueryParams",
       [](ManageCelerra& f) {
         std::vector<CelerraMountPointsInfo_t> v;
         return f.GetMountPtsInfo(v, "1", false, "");
       }},
      {"GetMoverNames", "MoverQueryParams",
       [](ManageCelerra& f) {
         std::map<std::string, std::string> v;
         return f.GetMoverNames(v);
       }},
      {"GetStgPoolInfo", "StoragePoolQueryParams",
       [](ManageCelerra& f) {
         std::vector<CelerraStgPoolInfo_t> v;
         return f.GetStgPoolInfo(v);
       }},
  };
  for (const Operation& op : queries) {
    for (FailureShape shape : {FailureShape::Status, FailureShape::Fault, FailureShape::PacketFault}) {
      for (const char* severity : {"error", "warning"}) {
        SCOPED_TRACE(std::string(op.name) + " / " + ShapeName(shape) + " / " + severity);
        Refuse(op.messageType, shape, severity);
        auto facade = NewFacade();
        EXPECT_FALSE(op.run(*facade));
        CelerraError e = facade->GetLastError1();
        EXPECT_NE(e.m_eStatus, STATUS_OK);
        EXPECT_EQ(e.m_sMessageCode, "13421850000");
        sim().ClearFaults();
      }
    }
  }
}

TEST_F(ReplyShapeTest, AnInfoNoticeIsASuccess) {
  Refuse("FileSystemQueryParams", FailureShape::Status, "info");
  auto facade = NewFacade();
  std::vector<CelerraFileSystem_t> v;
  // The notice replaces the list in this canned refusal, so the list is
  // empty, but the call succeeds.
  EXPECT_TRUE(facade->GetFSInfo(v));
  EXPECT_EQ(facade->GetLastError1().m_eStatus, STATUS_OK);
}

}  // namespace
