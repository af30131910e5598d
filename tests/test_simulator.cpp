// The celerra-sim program: serves what it prints, with the credentials,
// dataset and address it was given; checks its arguments and its data
// file; and never shares its port with another instance.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "sim/DataFile.h"
#include "tests/support/EchoMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

TEST(SimulatorProgram, ServesWithItsOwnCredentialsAndData) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  ScopedEnv secret("SIM_TEST_PASSWORD", "pw&1");
  celsim::Model model = celsim::DefaultModel(0);
  model.movers.resize(1);
  {
    std::ofstream data(dir.path() + "/data.json");
    data << celsim::DumpModel(model);
  }
  SimProgram child;
  ASSERT_TRUE(child.Start({"--user", "operator", "--password-env", "SIM_TEST_PASSWORD", "--data",
                                   dir.path() + "/data.json"}));
  ManageCelerra facade(1);
  facade.SetControlHostInfo(child.address(), "operator", "pw&1");
  // The echo request is unknown to the program: the server refuses it, which
  // proves the login went through and the servlet answered.
  EchoReq req(1);
  EchoResp resp(1);
  EXPECT_FALSE(facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  EXPECT_EQ(facade.GetLastError1().m_eStatus, STATUS_ERROR);
  EXPECT_NE(facade.GetLastError1().m_sMessage.find("EchoQuery"), std::string::npos);

  ManageCelerra wrong(1);
  wrong.SetControlHostInfo(child.address(), "operator", "nope");
  EchoReq req2(1);
  EchoResp resp2(1);
  EXPECT_FALSE(wrong.ProcessRequestAndResponse(req2, resp2, EvDebug::LVL_ERROR));
  EXPECT_NE(wrong.GetLastError1().m_sMessage.find("403"), std::string::npos);
}

TEST(SimulatorProgram, RefusesABadDataFile) {
  TempDir dir;
  SimProgram child;
  EXPECT_FALSE(child.Start({"--data", "/nonexistent/data.json"}));
  // Text no reply could carry is refused when the file is read.
  std::ofstream(dir.path() + "/control.json") << "{\"movers\": [{\"id\": \"1\", \"name\": \"a\\u0001b\"}]}";
  SimProgram control;
  EXPECT_FALSE(control.Start({"--data", dir.path() + "/control.json"}, dir.path() + "/err"));
  EXPECT_EQ(control.Stop(), 1);
  EXPECT_NE(ReadFile(dir.path() + "/err").find("/movers/0/name"), std::string::npos) << ReadFile(dir.path() + "/err");
}

TEST(SimulatorProgram, ASecondInstanceOnABusyPortFailsClearly) {
  TempDir dir;
  SimProgram first;
  ASSERT_TRUE(first.Start({}));
  std::string port = first.address().substr(first.address().rfind(':') + 1);
  SimProgram second;
  EXPECT_FALSE(second.Start({"--port", port}, dir.path() + "/err"));
  EXPECT_EQ(second.Stop(), 1);
  EXPECT_NE(ReadFile(dir.path() + "/err").find("Address already in use"), std::string::npos)
      << ReadFile(dir.path() + "/err");
  // The first one still answers, and only it.
  CliResult r = RunCelerractl("--host " + first.address() + " --insecure mover names", dir.path(),
                              "CELERRA_PASSWORD=password CELERRA_USER=admin");
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(SimulatorProgram, ArgumentsAreChecked) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--port", "70000"}, {"--port", "80a"}, {"--port", "-1"}, {"--scale", "100001"},
        {"--scale", "1e9"}, {"--bind", ""}, {"--user"}, {"--nonsense"}, {"--password-env", "CELTEST_UNSET_VARIABLE"}}) {
    SimProgram sim;
    std::string words;
    for (const auto& a : args) words += a + " ";
    EXPECT_FALSE(sim.Start(args)) << words;
    EXPECT_EQ(sim.Stop(), 2) << words;
  }
}

TEST(SimulatorProgram, ListensOnTheAddressItIsGiven) {
  TempDir dir;
  SimProgram sim;
  if (!sim.Start({"--bind", "::1", "--cert-out", dir.path() + "/cert.pem"})) GTEST_SKIP() << "no IPv6 loopback";
  EXPECT_EQ(sim.address().rfind("[::1]:", 0), 0u) << sim.address();
  CliResult r = RunCelerractl("--host " + sim.address() + " --ca-bundle " + dir.path() + "/cert.pem mover names",
                              dir.path(), "CELERRA_PASSWORD=password CELERRA_USER=admin");
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
