// CIFS shares end to end against the simulator: the documents as the server
// receives them, look-ups, create with verification, delete, the server's
// refusals reaching the caller. (celerractl's cifs commands:
// test_cli_commands.cpp.)
#include <pugixml.hpp>

#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

class CifsTest : public SimTest {
 protected:
  std::string Raw(size_t index) {
    auto requests = sim().Requests();
    return requests.size() > index ? requests[index].body : std::string();
  }
  pugi::xml_node Body(size_t index) { return RequestBody(m_Doc, index); }
  const celsim::CifsShare* Find(celsim::Model& m, const std::string& name) {
    for (const auto& s : m.shares)
      if (s.name == name) return &s;
    return nullptr;
  }
  bool HasShare(const std::string& name) {
    return sim().WithModel([&](celsim::Model& m) { return Find(m, name) != nullptr; });
  }
  struct Found {
    std::string pfsId, moverId, name = "untouched";
    bool isVdm = false;
    std::vector<std::string> servers;
  };
  bool Lookup(ManageCelerra& f, const std::string& share, Found* out) {
    return f.GetCifsShareInfo(share, out->pfsId, out->isVdm, out->moverId, out->name, out->servers);
  }

  pugi::xml_document m_Doc;
};

// ---------------------------------------------------------------- look-ups

// A leading slash is dropped; a share on a VDM says so.
TEST_F(CifsTest, LookupOnAMoverAndOnAVdm) {
  auto f = NewFacade();
  Found r;
  ASSERT_TRUE(Lookup(*f, "/fs1share", &r));
  EXPECT_EQ(r.pfsId + " " + r.moverId + " " + r.name, std::string(kFs1) + " 1 fs1share");
  EXPECT_FALSE(r.isVdm);
  EXPECT_EQ(r.servers, std::vector<std::string>{"CIFS_SRV1"});
  EXPECT_NE(Raw(0).find("\t\t<CifsShareQueryParams  name=\"fs1share\"/>\n"), std::string::npos) << Raw(0);
  Body(0);
  EXPECT_EQ(std::string(m_Doc.child("RequestPacket").attribute("apiVersion").value()), "V1_1");

  ASSERT_TRUE(Lookup(*f, "vdmshare", &r));
  EXPECT_TRUE(r.isVdm);
  EXPECT_EQ(r.pfsId + " " + r.moverId, std::string(kVdmFs1) + " 3");
  EXPECT_EQ(r.servers, std::vector<std::string>{"VDMCIFS"});
}

// An ok reply about another share, or without the share's servers, answers
// nothing: a failure, and the outputs stay empty.
TEST_F(CifsTest, AReplyThatDoesNotDescribeTheShareIsRefused) {
  const struct {
    const char* share;
    const char* logged;
  } rows[] = {
      {"<CifsShare name=\"other\" path=\"/x\" fileSystem=\"99\" mover=\"2\" moverIdIsVdm=\"false\">"
       "<CifsServers><li>S</li></CifsServers></CifsShare>",
       "We were looking for cifs info for share [fs1share] but we seem to have the share info for share [other] "
       "instead!"},
      {"<CifsShare name=\"fs1share\" path=\"/fs1\" fileSystem=\"21\" mover=\"1\" moverIdIsVdm=\"false\"/>",
       "Failed to get CifsServer node from XML"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.logged);
    sim().AddFault(
        CannedFault("CifsShareQueryParams", std::string("<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>") +
                                                row.share + "</Response></ResponsePacket>"));
    LogCapture log;
    auto f = NewFacade();
    Found r;
    EXPECT_FALSE(Lookup(*f, "fs1share", &r));
    EXPECT_EQ(r.pfsId + r.moverId, "");
    EXPECT_TRUE(log.Contains(row.logged));
    EXPECT_TRUE(log.Contains("Unable to get share info for share [fs1share]"));
    EXPECT_EQ(f->GetLastError1().m_eStatus, STATUS_ERROR);
  }
}

TEST_F(CifsTest, AliasesExtraAttributesAndDecorationsChangeNothing) {
  const std::string reply =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n"
      "<ResponsePacket xmlns=\"urn:example\">\n  <Response>\n    <QueryStatus maxSeverity=\"ok\" />\n"
      "    <CifsShare comment=\"c\" name = \"fs1share\" path=\"/fs1\" fileSystem=\"21\" mover=\"1\" "
      "moverIdIsVdm=\"false\" umask=\"022\">\n      <CifsServers>\n"
      "        <li>CIFS_SRV1</li>\n"
      "        <li>\n          SRV2\n          <Aliases><li>SRV2_ALIAS</li></Aliases>\n        </li>\n"
      "      </CifsServers>\n      <Extra><CifsServers><li>NOT_A_SERVER</li></CifsServers></Extra>\n"
      "    </CifsShare>\n  </Response>\n</ResponsePacket>\n";
  sim().AddFault(CannedFault("CifsShareQueryParams", reply));
  sim().AddFault(CannedFault("CifsShareQueryParams", reply));
  auto f = NewFacade();
  Found r;
  ASSERT_TRUE(Lookup(*f, "fs1share", &r));
  EXPECT_EQ(r.servers, (std::vector<std::string>{"CIFS_SRV1", "SRV2"}));
  EXPECT_EQ(r.pfsId, kFs1);
  std::vector<CelerraCIFSInfo_t> shares;
  ASSERT_TRUE(f->GetCifsInfo(shares));
  ASSERT_EQ(shares.size(), 1u);
  EXPECT_EQ(shares[0].cifsServers, (std::vector<std::string>{"CIFS_SRV1", "SRV2"}));
}

// Servers listed one level deeper below CifsServers are the share's servers
// all the same; the lookup, and with it the verification of a new share,
// must not fail on them.
TEST_F(CifsTest, ServersOneLevelDeeperAreRead) {
  const std::string reply =
      "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
      "<CifsShare name=\"deepshare\" path=\"/fs1\" fileSystem=\"21\" mover=\"1\" moverIdIsVdm=\"false\">"
      "<CifsServers><Servers><li>CIFS_SRV1</li><li>SRV2</li></Servers></CifsServers>"
      "</CifsShare></Response></ResponsePacket>";
  sim().AddFault(CannedFault("CifsShareQueryParams", reply));
  auto f = NewFacade();
  Found r;
  ASSERT_TRUE(Lookup(*f, "deepshare", &r)) << f->GetLastError1().m_sMessage;
  EXPECT_EQ(r.servers, (std::vector<std::string>{"CIFS_SRV1", "SRV2"}));

  sim().AddFault(CannedFault("CifsShareQueryParams", reply));
  EXPECT_TRUE(f->NewCifsShare("deepshare", "/fs1", "1", false, {"CIFS_SRV1"})) << f->GetLastError1().m_sMessage;
}

TEST_F(CifsTest, ListsEveryShare) {
  auto f = NewFacade();
  std::vector<CelerraCIFSInfo_t> shares;
  ASSERT_TRUE(f->GetCifsInfo(shares));
  ASSERT_EQ(shares.size(), 2u);
  EXPECT_EQ(shares[0].name, "fs1share");
  EXPECT_EQ(shares[0].path, "/fs1");
  EXPECT_EQ(shares[0].fileSystem, kFs1);
  EXPECT_EQ(shares[0].mover, "1");
  EXPECT_FALSE(shares[0].moverIdIsVdm);
  EXPECT_EQ(shares[1].name, "vdmshare");
  EXPECT_TRUE(shares[1].moverIdIsVdm);
  EXPECT_EQ(shares[1].cifsServers, std::vector<std::string>{"VDMCIFS"});
}

TEST_F(CifsTest, NoSharesIsAnEmptySuccess) {
  sim().WithModel([](celsim::Model& m) { m.shares.clear(); });
  auto f = NewFacade();
  std::vector<CelerraCIFSInfo_t> shares(2);
  ASSERT_TRUE(f->GetCifsInfo(shares));
  EXPECT_TRUE(shares.empty());
}

// ---------------------------------------------------------------- create

// Created, then verified by a lookup; on a VDM without named servers the
// VDM's server takes it.
TEST_F(CifsTest, NewShareOnAMoverAndOnAVdm) {
  auto f = NewFacade();
  ASSERT_TRUE(f->NewCifsShare("/fs10share", "/fs10", "1", false, {"CIFS_SRV1"}));
  EXPECT_EQ(Types(), (std::vector<std::string>{"NewCifsShare", "CifsShareQueryParams"}));
  Found r;
  ASSERT_TRUE(Lookup(*f, "fs10share", &r));
  EXPECT_EQ(r.pfsId, kFs10);
  EXPECT_FALSE(r.isVdm);

  ASSERT_TRUE(f->NewCifsShare("vdmshare2", "/vdmfs1/dir", "3", true, {}));
  ASSERT_TRUE(Lookup(*f, "vdmshare2", &r));
  EXPECT_TRUE(r.isVdm);
  EXPECT_EQ(r.pfsId + " " + r.moverId, std::string(kVdmFs1) + " 3");
  EXPECT_EQ(r.servers, std::vector<std::string>{"VDMCIFS"});
}

TEST_F(CifsTest, CreatingAnExistingShareSucceedsAfterVerification) {
  LogCapture log;
  auto f = NewFacade();
  ASSERT_TRUE(f->NewCifsShare("fs1share", "/fs1", "1", false, {}));
  EXPECT_TRUE(log.Contains("Cifs share in name [fs1share] already exists, treating this as a success"));
  EXPECT_EQ(Types(), (std::vector<std::string>{"NewCifsShare", "CifsShareQueryParams"}));
  EXPECT_EQ(f->GetLastError1().m_eStatus, STATUS_OK);
}

TEST_F(CifsTest, RefusedNewShareFailsWithTheServersProblem) {
  LogCapture log;
  auto f = NewFacade();
  EXPECT_FALSE(f->NewCifsShare("newshare", "/fs1", "1", false, {"NO_SUCH_SERVER"}));
  EXPECT_TRUE(log.Contains("Unable to get NFS info for newly created Cifs share:[newshare]"));
  EXPECT_TRUE(log.Contains("Unable to create share :[newshare]"));
  CelerraError e = f->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "13690601495");
  // A VDM id given as a physical mover.
  EXPECT_FALSE(f->NewCifsShare("newshare", "/vdmfs1", "3", false, {}));
  EXPECT_EQ(f->GetLastError1().m_sMessageCode, "13690601492");
  EXPECT_FALSE(HasShare("newshare"));
}

TEST_F(CifsTest, NewShareWhoseVerificationFailsIsAFailure) {
  sim().AddHandler("CifsShareQueryParams",
                   [](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(); });
  auto f = NewFacade();
  EXPECT_FALSE(f->NewCifsShare("fs10share", "/fs10", "1", false, {}));
  CelerraError e = f->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_NE(e.m_sMessage.find("fs10share"), std::string::npos) << e.m_sMessage;
}

// ---------------------------------------------------------------- delete

// The mover comes first; a leading slash is dropped; a VDM's share names
// its server.
TEST_F(CifsTest, DeleteOnAMoverAndOnAVdm) {
  auto f = NewFacade();
  ASSERT_TRUE(f->DeleteCifsShare("1", "/fs1share", false, {}));
  EXPECT_FALSE(HasShare("fs1share"));
  pugi::xml_node body = Body(0);
  EXPECT_EQ(std::string(body.attribute("mover").value()) + " " + body.attribute("name").value(), "1 fs1share");

  ASSERT_TRUE(f->DeleteCifsShare("3", "vdmshare", true, {"VDMCIFS"}));
  EXPECT_NE(Raw(1).find("       <CifsServers>\n          <li>VDMCIFS</li>\n        </CifsServers>\n"),
            std::string::npos)
      << Raw(1);
  EXPECT_FALSE(HasShare("vdmshare"));
}

TEST_F(CifsTest, DeleteTheServerRefusesFailsWithItsProblem) {
  LogCapture log;
  auto f = NewFacade();
  // The VDM flag does not match the mover: the server's task reports an error.
  EXPECT_FALSE(f->DeleteCifsShare("3", "vdmshare", false, {}));
  EXPECT_TRUE(log.Contains("Unable to delete Cifs share:[vdmshare] on mover:[3]"));
  CelerraError e = f->GetLastError1();
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "13690601492");
  EXPECT_TRUE(HasShare("vdmshare"));
}

// ---------------------------------------------------------------- names

TEST_F(CifsTest, NamesWithMarkupCharactersRoundTrip) {
  const std::string name = "a&b<c>d\"e'f";
  const std::string path = "/fs1/dir&<\"'>";
  const std::string server = "SRV&<\"'";
  sim().WithModel([&](celsim::Model& m) { m.cifsServers.push_back({server, "1", false, "corp.example", {}, {}}); });
  auto f = NewFacade();
  ASSERT_TRUE(f->NewCifsShare(name, path, "1", false, {server}));
  sim().WithModel([&](celsim::Model& m) {
    const celsim::CifsShare* s = Find(m, name);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->path, path);
    EXPECT_EQ(s->servers, std::vector<std::string>{server});
  });
  Found r;
  ASSERT_TRUE(Lookup(*f, name, &r));
  EXPECT_EQ(r.name, name);
  EXPECT_EQ(r.servers, std::vector<std::string>{server});
  std::vector<CelerraCIFSInfo_t> shares;
  ASSERT_TRUE(f->GetCifsInfo(shares));
  ASSERT_EQ(shares.size(), 3u);
  EXPECT_EQ(shares[2].name, name);
  EXPECT_EQ(shares[2].path, path);
  ASSERT_TRUE(f->DeleteCifsShare("1", name, false, {server}));
  EXPECT_FALSE(HasShare(name));
}

}  // namespace
