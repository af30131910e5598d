// `celerractl offline configure`: prepares a file system for archiving to an
// offline server. The call can take minutes (nine attempts per step with
// 15-second pauses), so it reports progress on stderr: a live line on a
// terminal (step, attempt, the pause counting down), otherwise one line per
// step.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "cli/Cli.h"

namespace celcli {

namespace {

// Shows the facade's progress reports. The library sleeps through its
// pauses on the caller's thread, so on a terminal a ticker thread counts a
// pause down second by second until the next report or the end.
class ProgressDisplay {
 public:
  explicit ProgressDisplay(ManageCelerra& facade) : m_Facade(facade), m_Terminal(isatty(STDERR_FILENO) == 1) {
    m_Facade.SetProgressCallback([this](const CelerraProgress& p) { Update(p); });
    if (m_Terminal) m_Ticker = std::thread([this] { Tick(); });
  }
  ~ProgressDisplay() {
    m_Facade.SetProgressCallback(nullptr);
    {
      std::lock_guard<std::mutex> lock(m_Mutex);
      m_Done = true;
    }
    m_Wake.notify_all();
    if (m_Ticker.joinable()) m_Ticker.join();
    if (m_Terminal && m_Shown) std::cerr << "\r\033[K" << std::flush;
  }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

 private:
  using Clock = std::chrono::steady_clock;

  void Update(const CelerraProgress& p) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    bool newStep = m_Step != p.step;
    m_Step = p.step;
    m_Attempt = p.attempt;
    m_Attempts = p.attempts;
    m_PauseEnd = p.pauseMs ? Clock::now() + std::chrono::milliseconds(p.pauseMs) : Clock::time_point();
    if (m_Terminal)
      Draw();
    else if (newStep)
      std::cerr << "offline: " << m_Step << std::endl;
    m_Wake.notify_all();
  }

  // The live line; the caller holds m_Mutex.
  void Draw() {
    std::string line = "offline: " + m_Step;
    if (m_Attempts > 1) line += ", attempt " + std::to_string(m_Attempt) + " of " + std::to_string(m_Attempts);
    if (m_PauseEnd != Clock::time_point()) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_PauseEnd - Clock::now()).count();
      line += " failed; next attempt in " + std::to_string(left > 0 ? (left + 999) / 1000 : 0) + " s";
    }
    std::cerr << "\r\033[K" << line << std::flush;
    m_Shown = true;
  }

  void Tick() {
    std::unique_lock<std::mutex> lock(m_Mutex);
    while (!m_Done) {
      m_Wake.wait_for(lock, std::chrono::seconds(1));
      if (!m_Done && m_PauseEnd != Clock::time_point() && Clock::now() < m_PauseEnd) Draw();
    }
  }

  ManageCelerra& m_Facade;
  const bool m_Terminal;
  std::mutex m_Mutex;
  std::condition_variable m_Wake;
  std::thread m_Ticker;
  bool m_Done = false;
  bool m_Shown = false;
  std::string m_Step;
  unsigned m_Attempt = 0;
  unsigned m_Attempts = 0;
  Clock::time_point m_PauseEnd;  // the running pause's end; epoch when none
};

struct ConfigureOptions {
  std::string filerShare;
  std::string archiveShare;
  std::string archiveUser;
  std::string passwordEnv;
  bool skipConnectionLookup = false;
  bool setOfflineAttr = false;
};

bool Configure(ManageCelerra& facade, const ConfigureOptions& o, const std::string& password) {
  ProgressDisplay display(facade);
  return facade.ConfigureFilerForOffLineServer(o.filerShare, o.archiveShare, o.archiveUser, password,
                                               o.skipConnectionLookup, o.setOfflineAttr, false);
}

}  // namespace

void RegisterOfflineCommands(CLI::App& app, Runtime& rt) {
  CLI::App* offline = app.add_subcommand("offline", "offline archiving (DHSM)");
  offline->require_subcommand(1);
  auto o = std::make_shared<ConfigureOptions>();
  CLI::App* configure = offline->add_subcommand(
      "configure", "connect the file system behind FILER_SHARE to the archive share and allow the archive server");
  configure->add_option("FILER_SHARE", o->filerShare, "file server share: //server/share or cifs://server/share")
      ->required();
  configure->add_option("ARCHIVE_SHARE", o->archiveShare, "archive server share: //server/share")->required();
  configure->add_option("--archive-user", o->archiveUser, "account the file server uses on the archive server")
      ->required();
  configure->add_option("--archive-password-env", o->passwordEnv,
                        "environment variable holding that account's password")
      ->required();
  configure->add_flag("--skip-connection-lookup", o->skipConnectionLookup,
                      "do not look for an existing connection; always request a new one");
  configure->add_flag("--set-offline-attr", o->setOfflineAttr, "also set the file system's offline attribute");

  rt.OnRun(configure, [&rt, o] {
    const char* password = std::getenv(o->passwordEnv.c_str());
    if (!password) {
      rt.Complain("the environment variable " + o->passwordEnv + " (the archive password) is not set");
      return kUsage;
    }
    if (!Configure(rt.facade(), *o, password)) return rt.Fail("ConfigureFilerForOffLineServer");
    rt.PrintObject({{"celerraShare", o->filerShare}, {"arkivAgentShare", o->archiveShare}, {"configured", true}});
    return kOk;
  });

  rt.AddDemoStep({60, "Offline archiving: connect fs1share to an archive share (twice: create, then update)",
                  [](Runtime& rt) {
                    if (!rt.demo().simulated) {
                      rt.Say("skipped: this step changes archive settings; it runs only with --sim");
                      return true;
                    }
                    ConfigureOptions o;
                    o.filerShare = "//CIFS_SRV1/fs1share";
                    o.archiveShare = "//127.0.0.1/archive";
                    o.archiveUser = "arcuser";
                    o.setOfflineAttr = true;
                    const std::string password = "demo-archive-secret";
                    for (const char* pass : {"first run: a new connection, the address added",
                                             "second run: the connection updated, the address already allowed"}) {
                      rt.Say(std::string("ConfigureFilerForOffLineServer(") + o.filerShare + ", " + o.archiveShare +
                             ", " + o.archiveUser + ", ###) - " + pass);
                      if (!Configure(rt.facade(), o, password)) {
                        rt.Fail("ConfigureFilerForOffLineServer");
                        return false;
                      }
                      rt.Say("  configured");
                    }
                    return true;
                  }});
}

}  // namespace celcli
