// The library as a guest in the host's process: what it leaves alone
// (standard output, signal handlers). Many facades in many threads without
// any lock of the caller's: test_stress. What it exports is tested against
// the shared library itself (test_shared_library).
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>

#include "tests/support/EchoMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

class GuestTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim().AddHandler("EchoQuery", [](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(); });
  }
  bool Echo(ManageCelerra& facade) {
    EchoReq req(7, "v");
    EchoResp resp(7);
    return facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR);
  }
};

TEST_F(GuestTest, WritesNothingToStandardOutputAndInstallsNoSignalHandlers) {
  struct sigaction before[4];
  const int watched[] = {SIGPIPE, SIGINT, SIGTERM, SIGALRM};
  for (int i = 0; i < 4; ++i) sigaction(watched[i], nullptr, &before[i]);

  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  dup2(pipefd[1], STDOUT_FILENO);
  {
    EvDebug::SetLevel(6);  // every log line on: they go to standard error
    auto facade = NewFacade();
    Echo(*facade);
    sim().AddFault(ProblemFault("EchoQuery", "1", "refused"));
    Echo(*facade);
    ManageCelerra empty;
    Echo(empty);
    EvDebug::SetLevel(0);
  }
  fflush(stdout);
  dup2(saved, STDOUT_FILENO);
  close(saved);
  close(pipefd[1]);
  char buf[256];
  ssize_t n = read(pipefd[0], buf, sizeof buf);
  close(pipefd[0]);
  EXPECT_EQ(n, 0) << "the library wrote to standard output";

  for (int i = 0; i < 4; ++i) {
    struct sigaction after;
    sigaction(watched[i], nullptr, &after);
    EXPECT_EQ(after.sa_handler, before[i].sa_handler) << "signal " << watched[i];
  }
}

}  // namespace
