// celerractl's fs and ckpt subcommands, run as a separate process against
// the simulator: JSON keys, exit statuses and the failure line on stderr.
#include <sys/wait.h>

#include <cstdio>
#include <nlohmann/json.hpp>

#include "tests/support/TestSupport.h"

using namespace celtest;
using nlohmann::json;

namespace {

class CliFsTest : public SimTest {
 protected:
  json Json(const std::string& args) {
    CliResult r = RunCli("--json " + args);
    EXPECT_EQ(r.status, 0) << args << "\n" << r.err;
    return json::parse(r.out, nullptr, false);
  }
};

TEST_F(CliFsTest, FsListJson) {
  json list = Json("fs list");
  ASSERT_TRUE(list.is_array());
  ASSERT_EQ(list.size(), 6u);
  json fs1 = list[0];
  EXPECT_EQ(fs1["fsId"], "21");
  EXPECT_EQ(fs1["name"], "fs1");
  EXPECT_EQ(fs1["type"], "uxfs");
  EXPECT_EQ(fs1["moverId"], "1");
  EXPECT_EQ(fs1["storagePools"], json::array({"40"}));
  EXPECT_EQ(fs1["volumeSize"], 10240);
  EXPECT_EQ(fs1["spaceTotal"], 10079);
  EXPECT_EQ(fs1["spaceUsed"], 1203);
  EXPECT_EQ(fs1["filesTotal"], 1294336);
  EXPECT_EQ(fs1["filesUsed"], 2048);
}

TEST_F(CliFsTest, FsListTable) {
  CliResult r = RunCli("fs list");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("ID  ", 0), 0u);
  EXPECT_NE(r.out.find("fs_unmounted"), std::string::npos);
}

TEST_F(CliFsTest, FsShowByNameAndById) {
  json byName = Json("fs show --name /fs2");
  EXPECT_EQ(byName["pfsId"], "22");
  EXPECT_EQ(byName["pfsName"], "fs2");
  EXPECT_EQ(byName["stgType"], "volume");
  EXPECT_EQ(byName["stgId"], "300");
  EXPECT_EQ(byName["savVolId"], "");
  EXPECT_EQ(byName["moverId"], "2");
  EXPECT_EQ(byName["moverIsVdm"], false);
  json byId = Json("fs show --id 21");
  EXPECT_EQ(byId["stgType"], "pool");
  EXPECT_EQ(byId["savVolId"], "101");
}

TEST_F(CliFsTest, FsShowNeedsExactlyOneSelector) {
  EXPECT_EQ(RunCli("fs show").status, 2);
  EXPECT_EQ(RunCli("fs show --id 21 --name fs1").status, 2);
  EXPECT_TRUE(sim().Requests().empty());
}

TEST_F(CliFsTest, FsName) {
  json r = Json("fs name 24");
  EXPECT_EQ(r["fsName"], "vdmfs1");
  EXPECT_EQ(r["moverId"], "3");
  EXPECT_EQ(r["moverIsVdm"], true);
}

TEST_F(CliFsTest, ServerProblemGoesToStderrWithExitOne) {
  CliResult r = RunCli("fs show --name nosuch");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("GetPFSInfo"), std::string::npos);
  EXPECT_NE(r.err.find("13421971970"), std::string::npos);
  EXPECT_TRUE(r.out.empty());

  sim().AddFault(ProblemFault("CheckpointQueryParams", "13690535999", "Control station busy"));
  r = RunCli("ckpt list");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("GetChkPointsInfo"), std::string::npos);
  EXPECT_NE(r.err.find("13690535999"), std::string::npos);
}

TEST_F(CliFsTest, CheckpointLifecycle) {
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
      EXPECT_EQ(c["fsId"], "21");
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

TEST_F(CliFsTest, ReadOnlyOnAVolume) {
  json created = Json("ckpt create-ro --fs 22 --stg-type volume --stg-id 300 --name cli_ro");
  EXPECT_FALSE(created["chkPtId"].get<std::string>().empty());
}

TEST_F(CliFsTest, CreateUsageErrors) {
  // Neither or both baseline choices, and an unknown storage type.
  EXPECT_EQ(RunCli("ckpt create-rw --fs 21 --stg-type pool --stg-id 40 --name x").status, 2);
  EXPECT_EQ(RunCli("ckpt create-rw --fs 21 --stg-type pool --stg-id 40 --name x --baseline 31 --new-baseline").status, 2);
  EXPECT_EQ(RunCli("ckpt create-ro --fs 21 --stg-type disk --stg-id 40 --name x").status, 2);
  EXPECT_TRUE(sim().Requests().empty());
}

TEST_F(CliFsTest, DemoRunsAgainstTheEmbeddedSimulator) {
  CliResult r = RunCli("--sim demo");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("CreateRWChkPt"), std::string::npos);
  EXPECT_NE(r.out.find("demo finished"), std::string::npos);
  EXPECT_EQ(r.err.find(kPassword), std::string::npos);
}

}  // namespace
