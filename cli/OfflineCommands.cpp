// `celerractl offline configure`: prepares a file system for archiving to an
// offline server. The call can take minutes (nine attempts per step with
// 15-second pauses), so it reports progress on stderr: a live line on a
// terminal (step, attempt, the pause counting down), otherwise one line per
// step.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

#include "cli/Cli.h"
#include "platform/TuSleep.h"

namespace celcli {

namespace {

// Shows the facade's progress reports. The pauses run through the platform
// sleep, which this display takes over while it is active so that it can
// count them down second by second.
class ProgressDisplay {
 public:
  ProgressDisplay(ManageCelerra& facade) : m_Facade(facade), m_Terminal(isatty(STDERR_FILENO) == 1) {
    s_Active = this;
    m_OldSleep = TuSetSleepHook(&ProgressDisplay::Sleep);
    m_Facade.SetProgressCallback([this](const CelerraProgress& p) { Update(p); });
  }
  ~ProgressDisplay() {
    m_Facade.SetProgressCallback(nullptr);
    TuSetSleepHook(m_OldSleep);
    s_Active = nullptr;
    if (m_Terminal && m_Shown) std::cerr << "\r\033[K" << std::flush;
  }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

 private:
  void Update(const CelerraProgress& p) {
    bool newStep = m_Step != p.step;
    m_Step = p.step;
    m_Attempt = p.attempt;
    m_Attempts = p.attempts;
    if (m_Terminal) {
      Draw(p.pauseMs ? " failed" : "");
    } else if (newStep) {
      std::cerr << "offline: " << m_Step << std::endl;
    }
  }

  void Draw(const std::string& tail) {
    std::string line = "offline: " + m_Step;
    if (m_Attempts > 1) line += ", attempt " + std::to_string(m_Attempt) + " of " + std::to_string(m_Attempts);
    std::cerr << "\r\033[K" << line << tail << std::flush;
    m_Shown = true;
  }

  void Pause(unsigned long ms) {
    using namespace std::chrono;
    unsigned long left = ms;
    while (left > 0) {
      if (m_Terminal) Draw(" failed; next attempt in " + std::to_string((left + 999) / 1000) + " s");
      unsigned long slice = left < 1000 ? left : 1000;
      std::this_thread::sleep_for(milliseconds(slice));
      left -= slice;
    }
  }

  static void Sleep(unsigned long ms, const char* file, int line) {
    if (s_Active)
      s_Active->Pause(ms);
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    (void)file;
    (void)line;
  }

  static ProgressDisplay* s_Active;
  ManageCelerra& m_Facade;
  bool m_Terminal;
  bool m_Shown = false;
  TuSleepHook m_OldSleep = nullptr;
  std::string m_Step;
  unsigned m_Attempt = 0;
  unsigned m_Attempts = 0;
};

ProgressDisplay* ProgressDisplay::s_Active = nullptr;

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
      std::cerr << "celerractl: environment variable " << o->passwordEnv << " (archive password) is not set"
                << std::endl;
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
