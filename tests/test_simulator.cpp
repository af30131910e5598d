// The celerra-sim program: serves what it prints, with the credentials and
// dataset it was given.
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

struct Child {
  pid_t pid = -1;
  std::string address;
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      int status;
      waitpid(pid, &status, 0);
    }
  }
};

// Starts celerra-sim with `args` and reads its "listening on" line.
bool StartProgram(Child& child, const std::vector<std::string>& args) {
  int out[2];
  if (pipe(out) != 0) return false;
  std::string program = std::string(getenv("CELERRA_BIN_DIR")) + "/celerra-sim";
  child.pid = fork();
  if (child.pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out[1]);
  FILE* in = fdopen(out[0], "r");
  char line[256] = {0};
  bool ok = fgets(line, sizeof line, in) != nullptr;
  fclose(in);
  std::string text = line;
  const std::string prefix = "listening on https://";
  if (!ok || text.rfind(prefix, 0) != 0) return false;
  child.address = text.substr(prefix.size());
  while (!child.address.empty() && isspace(static_cast<unsigned char>(child.address.back()))) child.address.pop_back();
  return true;
}

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
  Child child;
  ASSERT_TRUE(StartProgram(child, {"--user", "operator", "--password-env", "SIM_TEST_PASSWORD", "--data",
                                   dir.path() + "/data.json"}));
  ManageCelerra facade(1);
  facade.SetControlHostInfo(child.address, "operator", "pw&1");
  // The echo request is unknown to the program: the server refuses it, which
  // proves the login went through and the servlet answered.
  EchoReq req(1);
  EchoResp resp(1);
  EXPECT_FALSE(facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  EXPECT_EQ(facade.GetLastError1().m_eStatus, STATUS_ERROR);
  EXPECT_NE(facade.GetLastError1().m_sMessage.find("EchoQuery"), std::string::npos);

  ManageCelerra wrong(1);
  wrong.SetControlHostInfo(child.address, "operator", "nope");
  EchoReq req2(1);
  EchoResp resp2(1);
  EXPECT_FALSE(wrong.ProcessRequestAndResponse(req2, resp2, EvDebug::LVL_ERROR));
  EXPECT_NE(wrong.GetLastError1().m_sMessage.find("403"), std::string::npos);
}

TEST(SimulatorProgram, RefusesABadDataFile) {
  Child child;
  EXPECT_FALSE(StartProgram(child, {"--data", "/nonexistent/data.json"}));
}

}  // namespace
