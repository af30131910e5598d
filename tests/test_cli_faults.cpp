// celerra-sim's fault injection as an integrator's CI uses it: each switch
// given on the command line (and in the data file) changes exactly the
// request it names, and celerractl reports each in one plain line and exit
// status 1; the next request goes through.
#include <chrono>
#include <fstream>

#include "sim/DataFile.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

class CliFaultsTest : public ::testing::Test {
 protected:
  bool StartSim(std::vector<std::string> args) {
    args.insert(args.end(), {"--log", "--cert-out", m_Dir.path() + "/cert.pem"});
    return m_Sim.Start(args, m_Dir.path() + "/sim.stderr");
  }
  // Logins the simulator has seen (its --log lines).
  size_t Logins() {
    std::string log = ReadFile(m_Dir.path() + "/sim.stderr");
    size_t n = 0;
    for (size_t at = log.find("sim: login ok"); at != std::string::npos; at = log.find("sim: login ok", at + 1)) ++n;
    return n;
  }
  CliResult Run(const std::string& args) {
    return RunCelerractl("--host " + m_Sim.address() + " --ca-bundle " + m_Dir.path() + "/cert.pem " + args,
                         m_Dir.path(), "CELERRA_PASSWORD=password CELERRA_USER=admin");
  }
  // One failure line that says `why`, and then a call that works.
  void ExpectOneFailure(const CliResult& r, const std::string& why) {
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }

  TempDir m_Dir;
  SimProgram m_Sim;
};

TEST_F(CliFaultsTest, EachSwitchHitsTheRequestItNames) {
  ASSERT_TRUE(StartSim({"--fault", "kind=refuse,request=Login,count=1",                          //
                        "--fault", "kind=refuse,request=FileSystemQueryParams,count=1",          //
                        "--fault", "kind=drop,request=MountQueryParams,count=1",                 //
                        "--fault", "kind=expire-session,request=CheckpointQueryParams,count=1",  //
                        "--fault", "kind=code,request=StoragePoolQueryParams,count=1,code=4711,message=pool gone",
                        "--fault", "kind=delay,request=MoverQueryParams,ms=4000,count=1"}));
  ExpectOneFailure(Run("nfs list"), "(GetNFSInfo, login-refused): login refused by");
  ExpectOneFailure(Run("fs list"), "(GetFSInfo, transport)");
  EXPECT_EQ(Run("fs list").status, 0);
  ExpectOneFailure(Run("mount list"), "(GetMountPtsInfo, transport)");
  EXPECT_EQ(Run("mount list").status, 0);
  // A dropped session: the library logs in again and the call goes through.
  size_t logins = Logins();
  EXPECT_EQ(Run("ckpt list").status, 0);
  EXPECT_EQ(Logins(), logins + 2);
  ExpectOneFailure(Run("pool list"),
                   "(GetStgPoolInfo, server): the control station refused it; server code 4711: pool gone");
  EXPECT_EQ(Run("pool list").status, 0);
  auto start = std::chrono::steady_clock::now();
  ExpectOneFailure(Run("--timeout 1 mover names"), "(GetMoverNames, timeout): message [");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));  // gave up before the answer
  EXPECT_EQ(Run("mover names").status, 0);
}

TEST_F(CliFaultsTest, TheDataFileListsFaultsToo) {
  std::string data = m_Dir.path() + "/data.json";
  {
    std::ofstream out(data);
    std::string model = celsim::DumpModel(celsim::DefaultModel(0));
    out << model.substr(0, model.rfind('}'))
        << ", \"faults\": [{\"kind\": \"code\", \"request\": \"FileSystemQueryParams\", \"code\": 4242, \"count\": "
           "2}]}";
  }
  ASSERT_TRUE(StartSim({"--data", data}));
  ExpectOneFailure(Run("fs list"), "server code 4242");
  ExpectOneFailure(Run("fs list"), "server code 4242");
  EXPECT_EQ(Run("fs list").status, 0);
}

TEST_F(CliFaultsTest, ABadFaultIsAUsageError) {
  for (const char* fault :
       {"kind=explode", "kind=delay", "kind=code,code=x", "kind=drop,request=Login", "kind=refuse,count=0", "request=X",
        "kind=delay,ms=5,ms=6", "kind=tiny-elements,request=Login", "kind=redirect,size=5", "kind=big-header,size=0",
        "kind=huge-cookie,size=2000000000"}) {
    SimProgram sim;
    EXPECT_FALSE(sim.Start({"--fault", fault})) << fault;
  }
  std::string data = m_Dir.path() + "/bad.json";
  std::ofstream(data) << "{\"faults\": [{\"kind\": \"delay\", \"ms\": -5}]}";
  SimProgram sim;
  EXPECT_FALSE(sim.Start({"--data", data}));
}

}  // namespace
