// NFS exports end to end against the simulator: the documents as the server
// receives them, look-ups, create with verification, delete, the server's
// refusals. (celerractl's nfs commands: test_cli_commands.cpp.)
#include <pugixml.hpp>

#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

const char kMissing[] = "13421840438";

class NfsTest : public SimTest {
 protected:
  pugi::xml_node Body(size_t index) { return RequestBody(m_Doc, index); }
  std::string PathSent(size_t index) { return Body(index).attribute("path").value(); }
  const celsim::NfsExport* Find(celsim::Model& m, const std::string& path) {
    for (const auto& e : m.exports)
      if (e.path == path) return &e;
    return nullptr;
  }
  bool HasExport(const std::string& path) {
    return sim().WithModel([&](celsim::Model& m) { return Find(m, path) != nullptr; });
  }
  bool Lookup(ManageCelerra& f, const std::string& name, std::string* pfsId = nullptr, bool* readOnly = nullptr,
              std::string* mover = nullptr) {
    std::string p, m;
    bool ro = false;
    std::vector<std::string> a, rw, root;
    bool ok = f.GetNFSInfo(name, p, ro, m, a, rw, root);
    if (pfsId) *pfsId = p;
    if (readOnly) *readOnly = ro;
    if (mover) *mover = m;
    return ok;
  }

  pugi::xml_document m_Doc;
  std::vector<std::string> m_None;
};

// ---------------------------------------------------------------- slash rules

TEST_F(NfsTest, LookupAddsOneSlashButLogsTheCallersText) {
  LogCapture log;
  auto f = NewFacade();
  std::string pfsId, mover;
  bool readOnly = true;
  ASSERT_TRUE(Lookup(*f, "fs1", &pfsId, &readOnly, &mover));
  EXPECT_EQ(pfsId, kFs1);
  EXPECT_EQ(mover, "1");
  EXPECT_FALSE(readOnly);
  EXPECT_EQ(PathSent(0), "/fs1");
  EXPECT_TRUE(log.Contains("Getting NFS info for NFS share:[fs1]"));
  // A path that has its slash is sent as it is.
  ASSERT_TRUE(Lookup(*f, "/fs1"));
  EXPECT_EQ(PathSent(1), "/fs1");
}

TEST_F(NfsTest, CreateFoldsADoubleSlashAndVerifiesThePathItCreated) {
  LogCapture log;
  auto f = NewFacade();
  ASSERT_TRUE(f->CreateNFSShare("//fs1_ckpt1", "1", true, m_None, m_None, m_None));
  EXPECT_EQ(Types(), (std::vector<std::string>{"NewNfsExport", "NfsExportQueryParams"}));
  EXPECT_EQ(PathSent(0), "/fs1_ckpt1");
  EXPECT_EQ(PathSent(1), "/fs1_ckpt1");
  EXPECT_TRUE(HasExport("/fs1_ckpt1"));
  EXPECT_TRUE(log.Contains("Creating NFS share for PFS/ChkPt:[//fs1_ckpt1] on moverID [1], IsReadOnly:[True]"));
}

TEST_F(NfsTest, DeleteFoldsADoubleSlashAndAddsAMissingOne) {
  auto f = NewFacade();
  ASSERT_TRUE(f->DeleteNFSShare("//fs1", "1"));
  EXPECT_EQ(PathSent(0), "/fs1");
  EXPECT_FALSE(HasExport("/fs1"));
  ASSERT_TRUE(f->CreateNFSShare("fs10", "1", false, m_None, m_None, m_None));
  ASSERT_TRUE(f->DeleteNFSShare("fs10", "1"));
  EXPECT_EQ(PathSent(3), "/fs10");
  EXPECT_FALSE(HasExport("/fs10"));
}

// ---------------------------------------------------------------- look-ups

TEST_F(NfsTest, ListsEveryExportWithItsValues) {
  auto f = NewFacade();
  ASSERT_TRUE(f->CreateNFSShare("fs2", "2", true, m_None, m_None, m_None));
  std::vector<CelerraNFSInfo_t> exports;
  ASSERT_TRUE(f->GetNFSInfo(exports));
  ASSERT_EQ(exports.size(), 2u);
  EXPECT_EQ(exports[0].path, "/fs1");
  EXPECT_EQ(exports[0].fileSystem, kFs1);
  EXPECT_EQ(exports[0].mover, "1");
  EXPECT_FALSE(exports[0].readOnly);
  EXPECT_EQ(exports[1].path, "/fs2");
  EXPECT_EQ(exports[1].fileSystem, kFs2);
  EXPECT_TRUE(exports[1].readOnly);
}

TEST_F(NfsTest, NoExportsIsAnEmptySuccess) {
  LogCapture log;
  sim().WithModel([](celsim::Model& m) { m.exports.clear(); });
  auto f = NewFacade();
  std::vector<CelerraNFSInfo_t> exports(3);
  ASSERT_TRUE(f->GetNFSInfo(exports));
  EXPECT_TRUE(exports.empty());
  EXPECT_TRUE(log.Contains("Found 0 nfs exports"));
}

// An ok reply about another export, or without its read-only flag, answers
// nothing: a failure, and the outputs stay empty.
TEST_F(NfsTest, AReplyThatDoesNotDescribeTheExportIsRefused) {
  const struct {
    const char* exported;
    const char* logged;
  } rows[] = {
      {"<NfsExport path=\"/other\" fileSystem=\"99\" mover=\"2\" readOnly=\"false\"/>",
       "We were looking for NFS info for share [/fs1] but we seem to have the share info for share [/other] instead!"},
      {"<NfsExport path=\"/fs1\" fileSystem=\"21\" mover=\"1\"/>",
       "Unable to get FileSystem Id or MoverID or ShareName or readOnly attribute"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.logged);
    sim().AddFault(
        CannedFault("NfsExportQueryParams", std::string("<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>") +
                                                row.exported + "</Response></ResponsePacket>"));
    LogCapture log;
    auto f = NewFacade();
    std::string pfsId, mover;
    EXPECT_FALSE(Lookup(*f, "/fs1", &pfsId, nullptr, &mover));
    EXPECT_EQ(pfsId + mover, "");
    EXPECT_TRUE(log.Contains(row.logged));
    EXPECT_EQ(f->GetLastError1().m_eStatus, STATUS_ERROR);
  }
}

TEST_F(NfsTest, HostListsDecorationsAndExtraAttributesChangeNothing) {
  const std::string reply =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
      "<ResponsePacket xmlns=\"urn:example\">\n  <Response >\n    <QueryStatus maxSeverity = \"ok\"/>\n"
      "    <NfsExport  anonUser=\"0\" path = \"/fs1\" fileSystem=\"21\" mover=\"1\" readOnly=\"true\" extra=\"x\">\n"
      "      <AccessHosts><li>192.0.2.1</li></AccessHosts>\n      <RwHosts><li>192.0.2.2</li></RwHosts>\n"
      "      <RootHosts><li>192.0.2.3</li></RootHosts>\n      <Unknown><NfsOption a=\"b\"/></Unknown>\n"
      "    </NfsExport>\n  </Response>\n</ResponsePacket>\n";
  sim().AddFault(CannedFault("NfsExportQueryParams", reply));
  sim().AddFault(CannedFault("NfsExportQueryParams", reply));
  auto f = NewFacade();
  std::string pfsId, mover;
  bool readOnly = false;
  ASSERT_TRUE(Lookup(*f, "/fs1", &pfsId, &readOnly, &mover));
  EXPECT_EQ(pfsId, kFs1);
  EXPECT_EQ(mover, "1");
  EXPECT_TRUE(readOnly);
  std::vector<CelerraNFSInfo_t> exports;
  ASSERT_TRUE(f->GetNFSInfo(exports));
  ASSERT_EQ(exports.size(), 1u);
  EXPECT_EQ(exports[0].path, "/fs1");
  EXPECT_TRUE(exports[0].readOnly);
}

// ---------------------------------------------------------------- create

TEST_F(NfsTest, CreatingAnExistingExportSucceedsAfterVerification) {
  LogCapture log;
  auto f = NewFacade();
  ASSERT_TRUE(f->CreateNFSShare("fs1", "1", false, m_None, m_None, m_None));
  EXPECT_EQ(Types(), (std::vector<std::string>{"NewNfsExport", "NfsExportQueryParams"}));
  EXPECT_TRUE(log.Contains("NFS share for PFS/Chkpt name [fs1] already exists, treating this as a success"));
  CelerraError e = f->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_OK);
  EXPECT_EQ(e.m_sMessageCode, "");
}

TEST_F(NfsTest, CreateWhoseVerificationFailsIsAFailure) {
  LogCapture log;
  // The server accepts the task but never lists the export.
  sim().AddHandler("NfsExportQueryParams",
                   [](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(); });
  auto f = NewFacade();
  EXPECT_FALSE(f->CreateNFSShare("fs10", "1", false, m_None, m_None, m_None));
  EXPECT_TRUE(log.Contains("Unable to get NFS info for newly created NFS share:[fs10]"));
  EXPECT_TRUE(log.Contains("Unable to create share on PFS/Chkpt:[fs10]"));
  EXPECT_EQ(f->GetLastError1().m_eStatus, STATUS_ERROR);
}

TEST_F(NfsTest, RefusedCreateKeepsTheServersProblemAndSkipsVerification) {
  auto f = NewFacade();
  EXPECT_FALSE(f->CreateNFSShare("fs1_ckpt1", "99", true, m_None, m_None, m_None));
  EXPECT_EQ(Types(), std::vector<std::string>{"NewNfsExport"});
  CelerraError e = f->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "13690601492");
  // A path with no file system behind it.
  EXPECT_FALSE(f->CreateNFSShare("nowhere", "1", true, m_None, m_None, m_None));
  EXPECT_EQ(f->GetLastError1().m_sMessageCode, "13690601493");
}

TEST_F(NfsTest, PhysicalMoverExportsAVdmsFileSystemButAVdmIdIsRefused) {
  auto f = NewFacade();
  EXPECT_FALSE(f->CreateNFSShare("vdmfs1", "3", false, m_None, m_None, m_None));
  EXPECT_EQ(f->GetLastError1().m_sMessageCode, "13690601492");
  ASSERT_TRUE(f->CreateNFSShare("vdmfs1", "1", false, m_None, m_None, m_None));
  std::string pfsId, mover;
  ASSERT_TRUE(Lookup(*f, "vdmfs1", &pfsId, nullptr, &mover));
  EXPECT_EQ(pfsId, kVdmFs1);
  EXPECT_EQ(mover, "1");
}

// ---------------------------------------------------------------- delete

// A refusal in any shape fails the delete (test_fault_matrix.cpp); the
// "does not exist" code is still a success in the Fault shape too.
TEST_F(NfsTest, ADoesNotExistFaultIsASuccessfulDelete) {
  celsim::Fault gone = ProblemFault("DeleteNfsExport", kMissing, "gone");
  gone.style.failureShape = celsim::FailureShape::Fault;
  sim().AddFault(gone);
  EXPECT_TRUE(NewFacade()->DeleteNFSShare("/fs1", "1"));
}

// ---------------------------------------------------------------- names

TEST_F(NfsTest, PathsAndHostsWithMarkupCharactersRoundTrip) {
  const std::string name = "we&ird<na\"me's>";
  sim().WithModel([&](celsim::Model& m) { m.mounts.push_back({"/" + name, kFs10, "1", false, false}); });
  std::vector<std::string> access = {"host&<\"'>"}, rw = {"rw<host>"}, root = {"root'&"};
  auto f = NewFacade();
  ASSERT_TRUE(f->CreateNFSShare(name, "1", true, access, rw, root));
  sim().WithModel([&](celsim::Model& m) {
    const celsim::NfsExport* e = Find(m, "/" + name);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->fsId, kFs10);
    EXPECT_EQ(e->accessHosts, access);
    EXPECT_EQ(e->rwHosts, rw);
    EXPECT_EQ(e->rootHosts, root);
  });
  std::vector<CelerraNFSInfo_t> exports;
  ASSERT_TRUE(f->GetNFSInfo(exports));
  ASSERT_EQ(exports.size(), 2u);
  EXPECT_EQ(exports[1].path, "/" + name);
  ASSERT_TRUE(f->DeleteNFSShare(name, "1"));
  EXPECT_FALSE(HasExport("/" + name));
}

}  // namespace
