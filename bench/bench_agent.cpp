// An agent's loop against a slow control station: N self-contained
// snapshot-device-name calls, M threads of facades listing file systems, and
// one server-side expiry seen by M facades; each with sessions shared (the
// default), with sharing off (each facade its own session), and as the same
// work on one facade. Prints logins, new connections, TLS handshakes (full
// and resumed) and wall time per run.
//
//   bench_agent [--calls N] [--threads M] [--lists L] [--login-ms MS]
//               [--handshake-ms MS] [--latency-ms MS]
// Defaults: 50 calls, 8 threads, 200 lists each, 300 ms per login.
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "manage/ManageCelerra.h"
#include "manage/SnapDeviceName.h"
#include "sim/DatasetIds.h"
#include "sim/Simulator.h"
#include "transport/SharedSession.h"

namespace {

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "bench-password";

struct Settings {
  int calls = 50;
  int threads = 8;
  int lists = 200;
  int loginMs = 300;
  int handshakeMs = 0;
  int latencyMs = 0;
};

bool List(ManageCelerra& facade) {
  std::vector<CelerraFileSystem_t> fileSystems;
  return facade.GetFSInfo(fileSystems) && !fileSystems.empty();
}

bool Snap(ManageCelerra& facade) {
  std::string snap;
  return Celerra_GetSnapDeviceNameWithManageCelerra(facade, "/fs1/dir", celsim::ids::kFs1, celsim::ids::kFs1Ckpt1,
                                                    "fs1_ckpt1", snap) &&
         snap == "/fs1_ckpt1/dir";
}

// One run on a fresh simulator whose logins take `loginMs`: `prepare` (not
// counted) and then `work`, which says whether every answer was right.
void Run(const Settings& s, const char* name, bool share, const std::function<bool(const std::string&)>& work,
         const std::function<void(celsim::Simulator&, const std::string&)>& prepare = nullptr) {
  celsim::Simulator::Options options;
  options.user = kUser;
  options.password = kPassword;
  options.latencyMs = s.latencyMs;
  options.handshakeDelayMs = s.handshakeMs;
  celsim::Fault slowLogin;
  slowLogin.kind = celsim::FaultKind::Delay;
  slowLogin.messageType = "Login";
  slowLogin.count = -1;
  slowLogin.delayMs = s.loginMs;
  options.faults.push_back(slowLogin);
  celsim::Simulator sim(options);
  if (!sim.Start()) {
    std::fprintf(stderr, "bench_agent: %s\n", sim.error().c_str());
    std::exit(1);
  }
  if (share)
    unsetenv("sCELERRASHARESESSION");
  else
    setenv("sCELERRASHARESESSION", "N", 1);
  celerra_internal::ForgetIdleSharedSessions();
  if (prepare) prepare(sim, sim.address());
  long logins = sim.Logins(), connections = sim.Connections(), handshakes = sim.Handshakes(),
       resumed = sim.ResumedHandshakes();
  auto start = std::chrono::steady_clock::now();
  bool right = work(sim.address());
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  resumed = sim.ResumedHandshakes() - resumed;
  std::printf("%-44s %-8s %7ld %12ld %10ld %8ld %9.2f  %s\n", name, share ? "shared" : "own", sim.Logins() - logins,
              sim.Connections() - connections, sim.Handshakes() - handshakes - resumed, resumed, seconds,
              right ? "all right" : "WRONG ANSWERS");
  std::fflush(stdout);
  celerra_internal::ForgetIdleSharedSessions();
}

// `threads` threads at once, each running `work(t)`; true when all were right.
bool InThreads(int threads, const std::function<bool(int)>& work) {
  std::atomic<int> right{0};
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) pool.emplace_back([&, t] { right += work(t); });
  for (auto& th : pool) th.join();
  return right == threads;
}

std::unique_ptr<ManageCelerra> Facade(const std::string& host, int job) {
  std::unique_ptr<ManageCelerra> facade(new ManageCelerra(static_cast<unsigned long long>(job)));
  facade->SetControlHostInfo(host, kUser, kPassword);
  return facade;
}

void SelfContainedCalls(const Settings& s) {
  const std::string name = std::to_string(s.calls) + " self-contained snapshot-device-name calls";
  for (bool share : {false, true})
    Run(s, name.c_str(), share, [&](const std::string& host) {
      bool right = true;
      for (int i = 0; i < s.calls; ++i) {
        std::string snap;
        right = Celerra_GetSnapDeviceName(1, host, kUser, kPassword, "/fs1/dir", celsim::ids::kFs1,
                                          celsim::ids::kFs1Ckpt1, "fs1_ckpt1", snap) &&
                snap == "/fs1_ckpt1/dir" && right;
      }
      return right;
    });
  Run(s, "  the same on one facade", false, [&](const std::string& host) {
    auto facade = Facade(host, 1);
    bool right = true;
    for (int i = 0; i < s.calls; ++i) right = Snap(*facade) && right;
    return right;
  });
}

void ThreadsOfFacades(const Settings& s) {
  const std::string name = std::to_string(s.threads) + " threads x own facade x " + std::to_string(s.lists) + " lists";
  for (bool share : {false, true})
    Run(s, name.c_str(), share, [&](const std::string& host) {
      return InThreads(s.threads, [&](int t) {
        auto facade = Facade(host, 10 + t);
        bool right = true;
        for (int i = 0; i < s.lists; ++i) right = List(*facade) && right;
        return right;
      });
    });
  Run(s, "  the same on one facade", false, [&](const std::string& host) {
    auto facade = Facade(host, 10);
    bool right = true;
    for (int i = 0; i < s.threads * s.lists; ++i) right = List(*facade) && right;
    return right;
  });
}

void ExpirySeenByAll(const Settings& s) {
  const std::string name = "one expiry seen by " + std::to_string(s.threads) + " facades";
  for (bool share : {false, true}) {
    std::vector<std::unique_ptr<ManageCelerra>> facades;
    Run(
        s, name.c_str(), share,
        [&](const std::string&) { return InThreads(s.threads, [&](int t) { return List(*facades[t]); }); },
        [&](celsim::Simulator& sim, const std::string& host) {
          for (int t = 0; t < s.threads; ++t) {
            facades.push_back(Facade(host, 20 + t));
            List(*facades.back());
          }
          sim.ExpireSessions();
        });
  }
}

bool Option(int argc, char** argv, int& i, const char* name, int& into) {
  if (std::strcmp(argv[i], name) != 0 || i + 1 >= argc) return false;
  into = std::atoi(argv[++i]);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  for (int i = 1; i < argc; ++i) {
    if (Option(argc, argv, i, "--calls", s.calls) || Option(argc, argv, i, "--threads", s.threads) ||
        Option(argc, argv, i, "--lists", s.lists) || Option(argc, argv, i, "--login-ms", s.loginMs) ||
        Option(argc, argv, i, "--handshake-ms", s.handshakeMs) || Option(argc, argv, i, "--latency-ms", s.latencyMs))
      continue;
    std::fprintf(stderr,
                 "usage: bench_agent [--calls N] [--threads M] [--lists L] [--login-ms MS] [--handshake-ms MS] "
                 "[--latency-ms MS]\n");
    return 2;
  }
  std::printf("login %d ms, TLS handshake +%d ms, every answer +%d ms\n", s.loginMs, s.handshakeMs, s.latencyMs);
  std::printf("%-44s %-8s %7s %12s %10s %8s %9s\n", "work", "sessions", "logins", "connections", "full TLS", "resumed",
              "wall s");
  SelfContainedCalls(s);
  ThreadsOfFacades(s);
  ExpirySeenByAll(s);
  return 0;
}
