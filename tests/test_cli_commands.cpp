// celerractl's subcommands, each run as a separate process against the
// simulator: what each prints (JSON keys and values, tables), what it
// changes on the server, exit statuses and the one failure line on stderr.
// The conventions every subcommand shares (options, profiles, output that
// cannot be written) are in test_cli_conventions.cpp.
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>

#include "tests/support/TestSupport.h"

using namespace celtest;
using nlohmann::json;

namespace {

class CliTest : public SimTest {
 protected:
  json Json(const std::string& args) {
    CliResult r = RunCli("--json " + args);
    EXPECT_EQ(r.status, 0) << args << "\n" << r.err;
    return json::parse(r.out, nullptr, false);
  }
};

TEST_F(CliTest, FsListJson) {
  json list = Json("fs list");
  ASSERT_TRUE(list.is_array());
  ASSERT_EQ(list.size(), 6u);
  json fs1 = list[0];
  EXPECT_EQ(fs1["fsId"], kFs1);
  EXPECT_EQ(fs1["name"], "fs1");
  EXPECT_EQ(fs1["type"], "uxfs");
  EXPECT_EQ(fs1["moverId"], "1");
  EXPECT_EQ(fs1["storagePools"], json::array({kPerformancePool}));
  EXPECT_EQ(fs1["volumeSize"], 10240);
  EXPECT_EQ(fs1["spaceTotal"], 10079);
  EXPECT_EQ(fs1["spaceUsed"], 1203);
  EXPECT_EQ(fs1["filesTotal"], 1294336);
  EXPECT_EQ(fs1["filesUsed"], 2048);
}

// The USE% cell of the table row whose first cell is `id` (the column is
// right-aligned: its cells end where its heading does).
std::string UseOfRow(const std::string& table, const std::string& id) {
  std::istringstream lines(table);
  std::string header, line;
  std::getline(lines, header);
  size_t end = header.find("USE%") + 4;
  while (std::getline(lines, line))
    if (line.rfind(id + " ", 0) == 0) {
      std::string head = line.substr(0, end);
      return head.substr(head.find_last_of(' ') + 1);
    }
  return "(no row " + id + ")";
}

// USE% is USED as a share of USABLE (pools: of SIZE), rounded up as df does;
// a pipe gets the figure alone, a terminal a coloured bar after it unless
// NO_COLOR is set.
TEST_F(CliTest, UseColumnForPipesAndTerminals) {
  sim().WithModel([](celsim::Model& m) {
    m.FindFs(kFs2)->spaceTotal = 100;
    m.FindFs(kFs2)->spaceUsed = 120;  // over-full
    m.FindFs(kFs10)->spaceTotal = 100;
    m.FindFs(kFs10)->spaceUsed = 0;
    m.pools[0].size = 1000;
    m.pools[0].usedSize = 999;
  });
  CliResult fs = RunCli("fs list"), pools = RunCli("pool list");
  ASSERT_EQ(fs.status, 0) << fs.err;
  ASSERT_EQ(pools.status, 0) << pools.err;
  std::string header = fs.out.substr(0, fs.out.find('\n'));
  EXPECT_LT(header.find(" SIZE"), header.find(" USABLE")) << header;
  EXPECT_LT(header.find(" USABLE"), header.find(" USED ")) << header;
  EXPECT_LT(header.find(" USED "), header.find(" USE%")) << header;
  struct Case {
    const std::string* table;
    std::string id, use;
  };
  for (const Case& c : {Case{&fs.out, kFs1, "12%"}, Case{&fs.out, kFs2, "120%"}, Case{&fs.out, kFs10, "0%"},
                        Case{&fs.out, kFsUnmounted, "-"}, Case{&pools.out, kPerformancePool, "100%"},
                        Case{&pools.out, kArchivePool, "0%"}})
    EXPECT_EQ(UseOfRow(*c.table, c.id), c.use) << *c.table;
  EXPECT_EQ(fs.out.find('\x1b'), std::string::npos);

  auto onTerminal = [&](const std::string& env) {
    std::string cli = std::string(getenv("CELERRA_BIN_DIR")) + "/celerractl --host " + sim().address() + " --user " +
                      kUser + " --password-env CELTEST_PW --pin " + sim().PublicKeyPin() + " fs list";
    return Shell(env + " XDG_CONFIG_HOME=" + m_Temp->path() + " CELTEST_PW='" + kPassword + "' script -qec '" + cli +
                 "' /dev/null");
  };
  auto cells = [](int filled) {
    std::string bar;
    for (int i = 0; i < 10; ++i) bar += i < filled ? "\u2588" : "\u2591";
    return bar + "\x1b[0m";
  };
  std::string bars = onTerminal("");
  EXPECT_NE(bars.find(" 12% \x1b[32m" + cells(1)), std::string::npos) << bars;
  EXPECT_NE(bars.find("120% \x1b[31m" + cells(10)), std::string::npos) << bars;
  std::string plain = onTerminal("NO_COLOR=1");
  EXPECT_NE(plain.find("120%"), std::string::npos) << plain;
  EXPECT_EQ(plain.find('\x1b'), std::string::npos) << plain;
}

TEST_F(CliTest, FsShowByNameAndByIdAndFsName) {
  json byName = Json("fs show --name /fs2");
  EXPECT_EQ(byName["pfsId"], kFs2);
  EXPECT_EQ(byName["pfsName"], "fs2");
  EXPECT_EQ(byName["stgType"], "volume");
  EXPECT_EQ(byName["stgId"], kFs2Volume);
  EXPECT_EQ(byName["savVolId"], "");
  EXPECT_EQ(byName["moverId"], "2");
  EXPECT_EQ(byName["moverIsVdm"], false);
  json byId = Json("fs show --id 21");
  EXPECT_EQ(byId["stgType"], "pool");
  EXPECT_EQ(byId["savVolId"], kFs1SavVol);
  json name = Json("fs name 24");
  EXPECT_EQ(name["fsName"], "vdmfs1");
  EXPECT_EQ(name["moverId"], "3");
  EXPECT_EQ(name["moverIsVdm"], true);
}

// The server refuses every `type` request with its problem written in `shape`.
std::function<void(celsim::Simulator&)> Refusal(const char* type, celsim::FailureShape shape) {
  return [=](celsim::Simulator& s) {
    celsim::Fault fault = ProblemFault(type, "13421850000", "refused by the server");
    fault.style.failureShape = shape;
    s.AddFault(fault);
  };
}

// A refusal, in whichever shape the server writes it, exits 1 with one
// line on stderr that names the operation and carries the server's code.
TEST_F(CliTest, EveryRefusalExitsOneWithTheServersCodeOnOneLine) {
  using celsim::FailureShape;
  struct Case {
    const char* args;
    const char* code;                                // the server's code in the line
    const char* operation;                           // the operation the line names; null: not checked
    std::function<void(celsim::Simulator&)> inject;  // a refusal to inject; null: the dataset refuses
  } cases[] = {
      {"fs show --name nosuch", "13421971970", "(GetPFSInfo, not-found)", nullptr},
      {"ckpt list", "13690535999", "GetChkPointsInfo",
       [](celsim::Simulator& s) { s.AddFault(ProblemFault("CheckpointQueryParams", "13690535999", "busy")); }},
      {"cifs delete vdmshare --mover 3", "13690601492", "DeleteCifsShare", nullptr},  // not flagged as a VDM
      {"cifs create x --path /fs1 --mover 1 --server NOPE", "13690601495", "NewCifsShare", nullptr},
      {"nfs delete /fs1 --mover 1", "13690601499", "DeleteNFSShare",
       [](celsim::Simulator& s) { s.AddFault(ProblemFault("DeleteNfsExport", "13690601499", "export busy")); }},
      {"nfs create fs1_ckpt1 --mover 99", "13690601492", "CreateNFSShare", nullptr},
      {"mover cifs-servers", "4242", "GetCifsServers",
       [](celsim::Simulator& s) { s.AddFault(ProblemFault("CifsServerQueryParams", "4242", "cifs service stopped")); }},
      {"lun list", "1002", "GetLunInfo",
       [](celsim::Simulator& s) { s.AddFault(ProblemFault("IscsiLunQueryParams", "1002", "iSCSI not licensed")); }},
      // The other shapes of a refusal.
      {"ckpt delete 31", "13421850000", "DeleteChkPt", Refusal("DeleteCheckpoint", FailureShape::Fault)},
      {"mount create /x --mover 1 --fs 31", "13421850000", "CreateMount",
       Refusal("NewMount", FailureShape::BareStatus)},
      {"nfs delete /fs1 --mover 1", "13421850000", "DeleteNFSShare",
       Refusal("DeleteNfsExport", FailureShape::PacketFault)},
      {"fs list", "13421850000", "GetFSInfo", Refusal("FileSystemQueryParams", FailureShape::Fault)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    sim().ClearFaults();
    if (c.inject) c.inject(sim());
    CliResult r = RunCli(c.args);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find(c.operation), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(std::string("server code ") + c.code), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_EQ(RunCli("cifs show nosuch").status, 1);
  EXPECT_EQ(RunCli("nfs show /nosuch").status, 1);
  EXPECT_EQ(RunCli("nfs create fs1").status, 2);  // --mover is required
}

TEST_F(CliTest, CheckpointLifecycle) {
  json created = Json("ckpt create-rw --fs 21 --stg-type pool --stg-id 40 --name cli_rw --new-baseline");
  std::string id = created["chkPtId"], base = created["baseLineChkPtId"];
  EXPECT_FALSE(id.empty());
  EXPECT_FALSE(base.empty());

  json shown = Json("ckpt show cli_rw");
  EXPECT_EQ(shown["chkPtId"], id);
  EXPECT_EQ(shown["baseLineChkPtId"], base);

  json list = Json("ckpt list");
  ASSERT_EQ(list.size(), 3u);
  bool found = false;
  for (const auto& c : list) {
    if (c["chkPtName"] == "cli_rw") {
      found = true;
      EXPECT_EQ(c["chkPtId"], id);
      EXPECT_EQ(c["baseChkPtId"], base);
      EXPECT_EQ(c["fsId"], kFs1);
    }
  }
  EXPECT_TRUE(found);

  json restored = Json("ckpt restore --name cli_rw --id " + id + " --fs 21");
  EXPECT_EQ(restored["restored"], true);

  json deleted = Json("ckpt delete " + id + " --baseline " + base + " --delete-baseline");
  EXPECT_EQ(deleted["alreadyDeleted"], false);
  EXPECT_EQ(Json("ckpt list").size(), 1u);

  json again = Json("ckpt delete " + id);
  EXPECT_EQ(again["alreadyDeleted"], true);
}

// Usage errors exit 2 and send nothing: fs show needs exactly one selector;
// a writeable checkpoint neither or both baseline choices; a storage type
// must be known.
TEST_F(CliTest, UsageErrorsExitTwoUnsent) {
  for (const char* args :
       {"fs show", "fs show --id 21 --name fs1", "ckpt create-rw --fs 21 --stg-type pool --stg-id 40 --name x",
        "ckpt create-rw --fs 21 --stg-type pool --stg-id 40 --name x --baseline 31 --new-baseline",
        "ckpt create-ro --fs 21 --stg-type disk --stg-id 40 --name x"})
    EXPECT_EQ(RunCli(args).status, 2) << args;
  EXPECT_TRUE(sim().Requests().empty());
}

TEST_F(CliTest, DemoRunsAgainstTheEmbeddedSimulator) {
  CliResult r = RunCli("--sim demo");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("CreateRWChkPt"), std::string::npos);
  EXPECT_NE(r.out.find("demo finished"), std::string::npos);
  EXPECT_EQ(r.err.find(kPassword), std::string::npos);
}

// ---------------------------------------------------------------- mounts

TEST_F(CliTest, MountListPathsCreateShow) {
  std::string out;
  ASSERT_EQ(RunCli("--json mount list --mover 3 --vdm", &out, &out), 0) << out;
  auto list = json::parse(out);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0]["path"], "/vdmfs1");
  EXPECT_EQ(list[0]["moverIdIsVdm"], true);
  ASSERT_EQ(RunCli("--json mount paths --mover 1", &out, &out), 0) << out;
  EXPECT_EQ(json::parse(out)["mountPaths"].size(), 4u);
  ASSERT_EQ(RunCli("mount create /ck_cli --mover 1 --fs 31", &out, &out), 0) << out;
  ASSERT_EQ(RunCli("--json mount show /ck_cli --mover 1", &out, &out), 0) << out;
  EXPECT_EQ(json::parse(out)["fileSystem"], kFs1Ckpt1);
  EXPECT_EQ(RunCli("mount create /ck_cli --mover 1 --fs 31", &out, &out), 1);
  EXPECT_NE(out.find("(CreateMount, server)"), std::string::npos) << out;
  EXPECT_EQ(out.find(kPassword), std::string::npos);
}

// ---------------------------------------------------------------- NFS and CIFS

TEST_F(CliTest, NfsCreateShowListDelete) {
  auto exportOf = [this](const std::string& path) {
    return sim().WithModel([&](celsim::Model& m) {
      for (const auto& e : m.exports)
        if (e.path == path) return std::unique_ptr<celsim::NfsExport>(new celsim::NfsExport(e));
      return std::unique_ptr<celsim::NfsExport>();
    });
  };
  std::string out, err;
  ASSERT_EQ(RunCli("nfs create fs10 --mover 1 --read-only --access-host 192.0.2.7 --root-host 192.0.2.8", &out, &err),
            0)
      << err;
  auto e = exportOf("/fs10");
  ASSERT_NE(e, nullptr);
  EXPECT_TRUE(e->readOnly);
  EXPECT_EQ(e->accessHosts, std::vector<std::string>{"192.0.2.7"});
  EXPECT_EQ(e->rootHosts, std::vector<std::string>{"192.0.2.8"});
  ASSERT_EQ(RunCli("--json nfs show fs10", &out, &err), 0) << err;
  EXPECT_NE(out.find("\"pfsId\": \"23\""), std::string::npos) << out;
  EXPECT_NE(out.find("\"readOnly\": true"), std::string::npos) << out;
  ASSERT_EQ(RunCli("nfs list", &out, &err), 0) << err;
  EXPECT_NE(out.find("/fs10"), std::string::npos) << out;
  ASSERT_EQ(RunCli("nfs delete /fs10 --mover 1", &out, &err), 0) << err;
  EXPECT_EQ(exportOf("/fs10"), nullptr);
}

TEST_F(CliTest, CifsCreateShowListDelete) {
  auto hasShare = [this](const std::string& name) {
    return sim().WithModel([&](celsim::Model& m) {
      for (const auto& s : m.shares)
        if (s.name == name) return true;
      return false;
    });
  };
  std::string out, err;
  ASSERT_EQ(RunCli("cifs create vdmnew --path /vdmfs1 --mover 3 --vdm --server VDMCIFS", &out, &err), 0) << err;
  ASSERT_EQ(RunCli("--json cifs show vdmnew", &out, &err), 0) << err;
  EXPECT_NE(out.find("\"moverIdIsVdm\": true"), std::string::npos) << out;
  EXPECT_NE(out.find("\"pfsId\": \"24\""), std::string::npos) << out;
  ASSERT_EQ(RunCli("--json cifs list", &out, &err), 0) << err;
  EXPECT_NE(out.find("\"name\": \"vdmnew\""), std::string::npos) << out;
  ASSERT_EQ(RunCli("cifs delete vdmnew --mover 3 --vdm", &out, &err), 0) << err;
  EXPECT_FALSE(hasShare("vdmnew"));
}

// ---------------------------------------------------------------- movers and storage

TEST_F(CliTest, MoverNamesAndCifsServers) {
  std::string out;
  ASSERT_EQ(RunCli("mover names", &out), 0);
  EXPECT_NE(out.find("server_2"), std::string::npos) << out;
  EXPECT_NE(out.find("vdm_1"), std::string::npos) << out;
  ASSERT_EQ(RunCli("--json mover names", &out), 0);
  EXPECT_EQ(json::parse(out)["names"]["3"], "vdm_1");
  ASSERT_EQ(RunCli("--json mover cifs-servers --mover 3", &out), 0);
  auto servers = json::parse(out);
  ASSERT_EQ(servers.size(), 1u);
  EXPECT_EQ(servers[0]["name"], "VDMCIFS");
  EXPECT_EQ(servers[0]["moverIdIsVdm"], true);
}

TEST_F(CliTest, MoverAliasesAndVdmHost) {
  std::string out, err;
  ASSERT_EQ(RunCli("--json mover aliases 192.0.2.10", &out), 0);
  EXPECT_EQ(json::parse(out)["aliases"], json({"192.0.2.10", "192.0.2.11"}));
  EXPECT_EQ(RunCli("mover aliases 198.51.100.2", &out, &err), 1);
  EXPECT_NE(err.find("(GetAliasList, not-found): Interface ip [198.51.100.2] not found"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;  // one line per failure
  ASSERT_EQ(RunCli("--json mover of-vdm 3", &out), 0);
  EXPECT_EQ(json::parse(out)["mover"], "1");
  EXPECT_EQ(RunCli("mover of-vdm 99", &out, &err), 1);
  EXPECT_NE(err.find("99"), std::string::npos) << err;
}

TEST_F(CliTest, StorageSizesAreHumanInTablesAndExactInJson) {
  std::string out;
  ASSERT_EQ(RunCli("pool list", &out), 0);
  EXPECT_NE(out.find("5.0 TiB"), std::string::npos) << out;
  EXPECT_NE(out.find("clarsas_archive"), std::string::npos) << out;
  ASSERT_EQ(RunCli("--json pool list", &out), 0);
  auto pools = json::parse(out);
  ASSERT_EQ(pools.size(), 2u);
  EXPECT_EQ(pools[1]["size"].get<long long>(), 17592186044416LL);
  EXPECT_EQ(pools[0]["movers"], json({"1", "2"}));

  ASSERT_EQ(RunCli("lun list", &out), 0);
  EXPECT_NE(out.find("5.0 GiB"), std::string::npos) << out;
  ASSERT_EQ(RunCli("--json lun list", &out), 0);
  EXPECT_EQ(json::parse(out)[0]["size"].get<long long>(), 5368709120LL);
}

}  // namespace
