// One login per process: facades of the same control host, user, password
// and TLS settings share a session; anything else never does; the server
// dropping the shared session costs one login however many threads see it;
// a forked child starts its own.
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "manage/SnapDeviceName.h"
#include "tests/support/TestSupport.h"
#include "transport/SharedSession.h"

using namespace celtest;

namespace {

bool List(ManageCelerra& facade) {
  std::vector<CelerraFileSystem_t> fileSystems;
  return facade.GetFSInfo(fileSystems) && !fileSystems.empty();
}

class SharingTest : public SimTest {};

TEST_F(SharingTest, FacadesOneAfterAnotherShareOneLogin) {
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(List(*NewFacade()));
  // The self-contained entry point makes a facade of its own per call.
  std::string snap;
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(Celerra_GetSnapDeviceName(9, sim().address(), kUser, kPassword, "/fs1/dir", kFs1, kFs1Ckpt1,
                                          "fs1_ckpt1", snap));
  EXPECT_EQ(snap, "/fs1_ckpt1/dir");
  EXPECT_EQ(Logins(), 1u);
  // Each facade takes over the connection the one before it left open.
  EXPECT_EQ(sim().Connections(), 1);
  auto requests = sim().Requests();
  ASSERT_EQ(requests.size(), 6u);
  for (const auto& r : requests) EXPECT_EQ(r.session, requests[0].session);
}

// A first facade logs in and is gone; a second that differs in one thing
// logs in itself (or is refused, with credentials of its own that are
// wrong), and never gets the first one's session.
TEST_F(SharingTest, WhatDiffersNeverShares) {
  const std::string caFile = m_Temp->path() + "/ca.pem";
  std::ofstream(caFile) << sim().CertificatePem();
  const std::string host = sim().address();
  struct Case {
    const char* name;
    std::function<void(ManageCelerra&)> second;
    const char* variable;  // set to `value` around the second facade's exchange, when not null
    const char* value;
    bool succeeds;
  };
  const Case cases[] = {
      {"wrong password", [&](ManageCelerra& f) { f.SetControlHostInfo(host, kUser, "wrong"); }, nullptr, "", false},
      {"other user", [&](ManageCelerra& f) { f.SetControlHostInfo(host, "other", kPassword); }, nullptr, "", false},
      {"CA bundle", [&](ManageCelerra& f) { f.SetCABundle(caFile); }, nullptr, "", true},
      {"pinned key", [&](ManageCelerra& f) { f.SetPinnedPublicKey(sim().PublicKeyPin()); }, nullptr, "", true},
      {"sharing off", [](ManageCelerra& f) { f.SetSessionSharing(false); }, nullptr, "", true},
      {"sharing off by configuration", [](ManageCelerra&) {}, "sCELERRASHARESESSION", "N", true},
      {"no idle time", [](ManageCelerra&) {}, "sCELERRASHAREIDLE", "0", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    celerra_internal::ForgetIdleSharedSessions();
    sim().ClearJournal();
    EXPECT_TRUE(List(*NewFacade()));
    std::unique_ptr<ScopedEnv> env(c.variable ? new ScopedEnv(c.variable, c.value) : nullptr);
    auto second = NewFacade();
    c.second(*second);
    EXPECT_EQ(List(*second), c.succeeds);
    if (!c.succeeds) EXPECT_EQ(second->GetLastError1().m_eKind, ERROR_KIND_LOGIN_REFUSED);
    EXPECT_EQ(Logins(), 2u);
  }
}

// The server drops the session that 8 facades share; they all find out at
// once, one logs in again, and each request is answered once.
TEST_F(SharingTest, AnExpiryIsHandledByOneLoginAcrossThreads) {
  constexpr int kThreads = 8;
  std::vector<std::unique_ptr<ManageCelerra>> facades;
  for (int t = 0; t < kThreads; ++t) {
    facades.push_back(NewFacade(100 + t));
    ASSERT_TRUE(List(*facades.back()));
  }
  ASSERT_EQ(Logins(), 1u);
  sim().ExpireSessions();
  sim().ClearJournal();
  std::atomic<bool> go{false};
  std::atomic<int> succeeded{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      succeeded += List(*facades[t]);
    });
  go = true;
  for (auto& th : threads) th.join();
  EXPECT_EQ(succeeded.load(), kThreads);
  EXPECT_EQ(Logins(), 1u);
  size_t answered = 0, refused = 0;
  for (const auto& r : sim().Requests()) (r.status == 200 ? answered : refused)++;
  EXPECT_EQ(answered, static_cast<size_t>(kThreads));
  EXPECT_LE(refused, static_cast<size_t>(kThreads));
}

// A facade does not wait on another's slow login longer than its own
// time-outs allow: it gives up with a time-out of its own, and the login it
// waited for still succeeds.
TEST_F(SharingTest, AWaitForAnotherFacadesLoginEndsWithTheWaitersTimeOuts) {
  celsim::Fault slow = KindFault(celsim::FaultKind::Delay, "Login");
  slow.delayMs = 2000;
  sim().AddFault(slow);
  const long connections = sim().Connections();
  auto first = NewFacade(1);
  std::thread login([&] { EXPECT_TRUE(List(*first)); });
  // Connected: the first facade is in its login, and holds it.
  while (sim().Connections() == connections) std::this_thread::yield();
  auto hurried = NewFacade(2);
  ASSERT_TRUE(hurried->SetConnectTimeout(0.2));
  ASSERT_TRUE(hurried->SetTransferTimeout(0.3));
  EXPECT_FALSE(List(*hurried));
  EXPECT_EQ(hurried->GetLastError1().m_eKind, ERROR_KIND_TIMEOUT);
  EXPECT_NE(hurried->GetLastError1().m_sMessage.find("another facade's login"), std::string::npos)
      << hurried->GetLastError1().m_sMessage;
  login.join();
  EXPECT_EQ(Logins(), 1u);
}

// A child of a process with a logged-in facade, and with the connection of
// an ended one kept for the next, logs in itself, with that facade and with
// new ones (which then share the child's login), and leaves the parent's
// connections and session alone. The control station is a
// process of its own, so that this one forks without threads.
TEST(SharingForkTest, AChildNeverUsesItsParentsSessionOrConnection) {
  TempDir temp;
  ScopedEnv tempEnv("CELERRA_TEMP_DIR", temp.path());
  ScopedEnv password("CELTEST_SIM_PASSWORD", kPassword);
  const std::string log = temp.path() + "/sim.log";
  SimProgram sim;
  ASSERT_TRUE(sim.Start({"--user", kUser, "--password-env", "CELTEST_SIM_PASSWORD", "--log"}, log));
  auto logins = [&] {
    std::istringstream lines(ReadFile(log));
    size_t n = 0;
    for (std::string line; std::getline(lines, line);) n += line == "sim: login ok";
    return n;
  };
  auto facade = [&](long long job) {
    auto f = std::make_unique<ManageCelerra>(job);
    f->SetControlHostInfo(sim.address(), kUser, kPassword);
    return f;
  };
  auto parent = facade(1);
  ASSERT_TRUE(List(*parent));
  ASSERT_TRUE(List(*facade(3)));
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    _exit(List(*parent) && List(*facade(2)) ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_TRUE(List(*parent));
  EXPECT_TRUE(List(*facade(4)));
  EXPECT_EQ(logins(), 2u) << ReadFile(log);
  // The idle connection goes first, so that the station stops at once.
  parent.reset();
  celerra_internal::ForgetIdleSharedSessions();
  sim.Stop();
}

}  // namespace
