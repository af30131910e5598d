// `celerractl offline configure`: prepares a file system for archiving to an
// offline server. The call can take minutes (nine attempts per step with
// 15-second pauses), so it reports progress on stderr: a live line on a
// terminal (step, attempt, the pause counting down), otherwise one line per
// step.
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

#include "cli/Cli.h"

namespace celcli {

namespace {

// Shows the facade's progress reports. The library reports each attempt,
// and during a pause the time left once a second: on a terminal each report
// redraws the live line, elsewhere a new step gets a line of its own.
class ProgressDisplay {
 public:
  explicit ProgressDisplay(ManageCelerra& facade) : m_Facade(facade), m_Terminal(isatty(STDERR_FILENO) == 1) {
    m_Facade.SetProgressCallback([this](const CelerraProgress& p) { Update(p); });
  }
  ~ProgressDisplay() {
    m_Facade.SetProgressCallback(nullptr);
    if (m_Terminal && m_Shown) std::cerr << "\r\033[K" << std::flush;
  }
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;

 private:
  void Update(const CelerraProgress& p) {
    bool newStep = m_Step != p.step;
    m_Step = p.step;
    if (m_Terminal)
      Draw(p);
    else if (newStep)
      std::cerr << "offline: " << m_Step << std::endl;
  }

  void Draw(const CelerraProgress& p) {
    std::string line = "offline: " + m_Step;
    if (p.attempts > 1) line += ", attempt " + std::to_string(p.attempt) + " of " + std::to_string(p.attempts);
    if (p.pauseMs) line += " failed; next attempt in " + std::to_string((p.pauseMs + 999) / 1000) + " s";
    std::cerr << "\r\033[K" << line << std::flush;
    m_Shown = true;
  }

  ManageCelerra& m_Facade;
  const bool m_Terminal;
  bool m_Shown = false;
  std::string m_Step;
};

struct ConfigureOptions {
  std::string filerShare;
  std::string archiveShare;
  std::string archiveUser;
  std::string passwordEnv;
  bool skipConnectionLookup = false;
  bool setOfflineAttr = false;
};

}  // namespace

bool ConfigureOffline(ManageCelerra& facade, const std::string& filerShare, const std::string& archiveShare,
                      const std::string& archiveUser, const std::string& password, bool skipConnectionLookup,
                      bool setOfflineAttr) {
  ProgressDisplay display(facade);
  return facade.ConfigureFilerForOffLineServer(filerShare, archiveShare, archiveUser, password, skipConnectionLookup,
                                               setOfflineAttr, false);
}

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
  configure
      ->add_option("--archive-password-env", o->passwordEnv, "environment variable holding that account's password")
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
    if (!ConfigureOffline(rt.facade(), o->filerShare, o->archiveShare, o->archiveUser, password,
                          o->skipConnectionLookup, o->setOfflineAttr))
      return rt.Fail("ConfigureFilerForOffLineServer");
    rt.PrintObject({{"celerraShare", o->filerShare}, {"arkivAgentShare", o->archiveShare}, {"configured", true}});
    return kOk;
  });
}

}  // namespace celcli
