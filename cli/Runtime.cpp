#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>

#include "cli/Cli.h"
#include "cli/Profile.h"
#include "manage/CelerraVersion.h"
#include "sim/Simulator.h"

namespace celcli {

namespace {

// What each operation does, in the words of the failure line.
const std::map<std::string, std::string>& OperationWords() {
  static const std::map<std::string, std::string> words = {
      {"GetFSInfo", "cannot list the file systems"},
      {"GetPFSInfo", "cannot read the file system's details"},
      {"GetFSNameByFSId", "cannot find the file system's name"},
      {"GetChkPointsInfo", "cannot list the checkpoints"},
      {"GetChkPointInfo", "cannot find the checkpoint"},
      {"CreateRWChkPt", "cannot create the writeable checkpoint"},
      {"CreateROChkPt", "cannot create the read-only checkpoint"},
      {"DeleteChkPt", "cannot delete the checkpoint"},
      {"RestorePFSFromChkPt", "cannot restore the file system from the checkpoint"},
      {"GetMountPtsInfo", "cannot list the mounts"},
      {"GetMountPts", "cannot list the mount paths"},
      {"GetMountPointInfo", "cannot find the mount"},
      {"CreateMount", "cannot mount the file system"},
      {"Celerra_GetSnapDeviceNameWithManageCelerra", "cannot work out the snapshot device name"},
      {"GetNFSInfo", "cannot read the NFS exports"},
      {"CreateNFSShare", "cannot create the NFS export"},
      {"DeleteNFSShare", "cannot remove the NFS export"},
      {"GetCifsInfo", "cannot list the CIFS shares"},
      {"GetCifsShareInfo", "cannot find the CIFS share"},
      {"NewCifsShare", "cannot create the CIFS share"},
      {"DeleteCifsShare", "cannot remove the CIFS share"},
      {"GetMoverNames", "cannot list the data movers"},
      {"GetCifsServers", "cannot list the CIFS servers"},
      {"GetAliasList", "cannot find the addresses of the network device"},
      {"GetMoverForVdm", "cannot find the data mover of the VDM"},
      {"GetStgPoolInfo", "cannot list the storage pools"},
      {"GetLunInfo", "cannot list the iSCSI LUNs"},
      {"ConfigureFilerForOffLineServer", "cannot configure offline archiving"},
  };
  return words;
}

const char* EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

// A password file is a small regular file whose first line is the password:
// anything else (a device, a pipe, a directory, a large file) is refused
// before it is read.
bool ReadPasswordFile(const std::string& path, std::string& password, std::string& error) {
  constexpr size_t kMaxBytes = 4096;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error = "cannot read the password file " + path + ": " + std::strerror(errno);
    return false;
  }
  struct stat st;
  std::string text;
  // Whoever else may read it has the password; whoever may write it chooses it.
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = "the password file " + path + " is not a regular file";
  } else if (!CheckFileAccess("password file", path, st, FileUse::Secret, error)) {
    // error says who else may touch it
  } else if (static_cast<size_t>(st.st_size) > kMaxBytes) {
    error = "the password file " + path + " is larger than " + std::to_string(kMaxBytes) +
            " bytes; it should hold the password on its first line";
  } else {
    char buffer[kMaxBytes + 1];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0)
      error = "cannot read the password file " + path + ": " + std::strerror(errno);
    else
      text.assign(buffer, static_cast<size_t>(n));
    std::fill(buffer, buffer + sizeof buffer, '\0');
  }
  close(fd);
  if (!error.empty()) return false;
  password = text.substr(0, text.find('\n'));
  if (!password.empty() && password.back() == '\r') password.pop_back();
  std::fill(text.begin(), text.end(), '\0');
  if (password.empty()) {
    error = "the password file " + path + " holds no password on its first line";
    return false;
  }
  return true;
}

// A CA bundle or pin file that the library is to read: nobody else may have
// changed it. A file that cannot be looked at is left to the library's own
// refusal.
bool CheckTrustFiles(const ConnectionSettings& s, std::string& error) {
  std::vector<std::pair<std::string, std::string>> files;
  if (!s.caBundle.empty()) files.push_back({"CA bundle", s.caBundle});
  if (!s.pin.empty() && s.pin.rfind("sha256//", 0) != 0) files.push_back({"pin file", s.pin});
  for (const auto& f : files) {
    struct stat st;
    if (stat(f.second.c_str(), &st) == 0 && !CheckFileAccess(f.first, f.second, st, FileUse::Public, error))
      return false;
  }
  return true;
}

bool ParseTimeout(const std::string& text, double& seconds) {
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text.c_str(), &end);
  if (errno != 0 || end == text.c_str() || *end != '\0' || !(value > 0) || value > 86400) return false;
  seconds = value;
  return true;
}

// The message of a last error without the transport text that
// GetLastError1 appends as ": [text]"; that text goes to `transport`.
std::string WithoutTransportText(const CelerraError& e, std::string& transport) {
  std::string message = e.m_sMessage;
  size_t suffix = message.rfind(": [");
  if (suffix != std::string::npos && !message.empty() && message.back() == ']') {
    transport = message.substr(suffix + 3, message.size() - suffix - 4);
    message.erase(suffix);
  }
  return message;
}

// Hands the connection's TLS and time-out settings to the facade and the log
// threshold to the library, in this one place. A setting the facade refuses
// (an unreadable CA bundle, say) comes back in `error`.
bool ApplyLibrarySettings(ManageCelerra& facade, const ConnectionSettings& s, int logLevel, std::string& error) {
  // The library's own lines stay off unless asked for: the command's output
  // and its one failure line are what a user reads. Read at the first line.
  setenv("CELERRA_LOG_LEVEL", std::to_string(logLevel).c_str(), 1);
  // A facade without TLS settings takes the environment's: --insecure must
  // not be overruled by them.
  if (s.insecure) {
    unsetenv("sCELERRACABUNDLE");
    unsetenv("sCELERRAPINNEDPUBKEY");
  }
  bool ok = true;
  if (s.timeoutSeconds > 0)
    ok = facade.SetTransferTimeout(s.timeoutSeconds) && facade.SetConnectTimeout(std::min(s.timeoutSeconds, 30.0));
  if (ok && !s.insecure && !s.caBundle.empty()) ok = facade.SetCABundle(s.caBundle);
  if (ok && !s.insecure && !s.pin.empty()) ok = facade.SetPinnedPublicKey(s.pin);
  if (!ok) {
    std::string transport;
    error = WithoutTransportText(facade.GetLastError1(), transport);
  }
  return ok;
}

}  // namespace

void Runtime::OnRun(CLI::App* sub, std::function<int()> action) { m_Actions.push_back({sub, std::move(action), true}); }

void Runtime::OnRunLocal(CLI::App* sub, std::function<int()> action) {
  m_Actions.push_back({sub, std::move(action), false});
}

int Runtime::Fail(const std::string& operation) {
  CelerraError e = m_Facade->GetLastError1();
  auto known = OperationWords().find(operation);
  std::string what = known != OperationWords().end() ? known->second : operation + " failed";
  what += " (" + operation + ", " + CelerraErrorKindName(e.m_eKind) + ")";
  std::string transport;
  std::string message = WithoutTransportText(e, transport);
  std::string why;
  if (e.m_eKind == ERROR_KIND_SERVER || !e.m_sMessageCode.empty()) {
    why = "the control station refused it";
    if (!e.m_sDescription.empty() && e.m_sDescription != message) why += ": " + e.m_sDescription;
    why += "; server code " + (e.m_sMessageCode.empty() ? std::string("(none)") : e.m_sMessageCode) + ": " +
           (message.empty() ? std::string("(no message)") : message);
  } else {
    // The library says why in plain words; libcurl's own text follows when
    // it adds anything.
    why = message.empty() ? "no reason was recorded (see --log-level 0)" : message;
    if (!transport.empty() && why.find(transport) == std::string::npos) why += " (" + transport + ")";
  }
  Complain(what + ": " + why);
  return kFailed;
}

std::string Runtime::ProfilePath() const { return ProfileFile::DefaultPath(); }

std::string Runtime::ProfileName() const { return m_Profile.empty() ? "default" : m_Profile; }

bool Runtime::ResolveSettings(ConnectionSettings& s, bool needCredentials, bool profileMayBeNew) {
  // The profile: the one named, or [default] when there is one.
  ProfileFile file;
  std::string error;
  std::map<std::string, std::string> profile;
  // Whoever may change the profile may send the password to a host of
  // theirs: one that others may change is refused even when not named.
  struct stat st;
  if (stat(ProfilePath().c_str(), &st) == 0 &&
      !CheckFileAccess("profile", ProfilePath(), st, FileUse::Settings, error)) {
    Complain(error);
    return false;
  }
  bool loaded = file.Load(ProfilePath(), error);
  if (loaded && profileMayBeNew && !file.HasSection(ProfileName())) {
    // `trust` is about to make it.
  } else if (!m_Profile.empty() || (loaded && file.HasSection("default"))) {
    if (!loaded || !file.Section(ProfileName(), profile, error)) {
      Complain(error);
      return false;
    }
  }
  auto pick = [&](const std::string& flag, const char* env, const char* key) {
    if (!flag.empty()) return flag;
    if (env && *EnvOr(env, "")) return std::string(EnvOr(env, ""));
    auto it = profile.find(key);
    return it == profile.end() ? std::string() : it->second;
  };
  s.host = pick(m_Host, "CELERRA_HOST", "host");
  s.user = pick(m_User, "CELERRA_USER", "user");
  s.caBundle = pick(m_CaBundle, nullptr, "ca-bundle");
  s.pin = pick(m_Pin, nullptr, "pin");
  s.insecure = m_Insecure;
  s.timeoutSeconds = m_Timeout;
  if (s.timeoutSeconds == 0 && profile.count("timeout") && !ParseTimeout(profile["timeout"], s.timeoutSeconds)) {
    Complain(ProfilePath() + ": profile [" + ProfileName() + "]: timeout must be seconds from 0 to 86400");
    return false;
  }
  if (m_Sim) return true;
  if (s.host.empty()) {
    Complain("no control station: give --host HOST[:PORT], set CELERRA_HOST, use a --profile, or --sim");
    return false;
  }
  if (!s.insecure && !CheckTrustFiles(s, error)) {
    Complain(error);
    return false;
  }
  if (!needCredentials) return true;
  std::string passwordFile = m_PasswordFile;
  if (passwordFile.empty() && m_PasswordEnv.empty() && !*EnvOr("CELERRA_PASSWORD", ""))
    passwordFile = profile.count("password-file") ? profile["password-file"] : std::string();
  if (!passwordFile.empty()) {
    if (!ReadPasswordFile(passwordFile, s.password, error)) {
      Complain(error);
      return false;
    }
  } else {
    std::string var = m_PasswordEnv.empty() ? "CELERRA_PASSWORD" : m_PasswordEnv;
    s.password = EnvOr(var.c_str(), "");
    if (s.password.empty()) {
      Complain("no password: the environment variable " + var + " is not set (or give --password-file)");
      return false;
    }
  }
  if (s.user.empty()) {
    Complain("no user: give --user, set CELERRA_USER or use a --profile");
    return false;
  }
  return true;
}

bool Runtime::Connect() {
  ConnectionSettings s;
  if (!ResolveSettings(s, true, false)) return false;
  if (m_Sim) {
    // The embedded simulator's key is known: its connection is verified.
    signal(SIGPIPE, SIG_IGN);  // its server must not die writing to a closed connection
    auto sim = std::make_shared<celsim::Simulator>();
    if (!sim->Start()) {
      Complain("cannot start the embedded simulator: " + sim->error());
      return false;
    }
    s.host = sim->address();
    s.user = celsim::Simulator::Options().user;
    s.password = celsim::Simulator::Options().password;
    s.caBundle.clear();
    s.pin = sim->PublicKeyPin();
    m_Simulator = sim;
    m_Demo.simulated = true;
  }
  m_Facade.reset(new ManageCelerra(m_JobId));
  std::string error;
  if (!ApplyLibrarySettings(*m_Facade, s, m_LogLevel, error)) {
    Complain(error);
    return false;
  }
  bool verified =
      !s.caBundle.empty() || !s.pin.empty() || *EnvOr("sCELERRACABUNDLE", "") || *EnvOr("sCELERRAPINNEDPUBKEY", "");
  if (!verified && !s.insecure)
    Complain(
        "note: the control station's certificate is not verified (use --ca-bundle, --pin or `celerractl "
        "trust`; --insecure silences this note)");
  m_Facade->SetControlHostInfo(s.host, s.user, s.password);
  std::fill(s.password.begin(), s.password.end(), '\0');
  return true;
}

void Runtime::AddGlobalOptions() {
  // Options of the top level are accepted after the subcommand too.
  m_App.fallthrough();
  m_App.set_version_flag("--version", std::string("celerractl ") + CELERRA_VERSION, "print the version and exit");
  const char* connection = "Connection";
  m_App.add_option("--host", m_Host, "control station HOST[:PORT] (default: CELERRA_HOST, the profile)")
      ->group(connection);
  m_App.add_option("--user", m_User, "user name (default: CELERRA_USER, the profile)")->group(connection);
  m_App
      .add_option("--password-env", m_PasswordEnv,
                  "environment variable holding the password (default: CELERRA_PASSWORD)")
      ->group(connection);
  m_App.add_option("--password-file", m_PasswordFile, "small file whose first line is the password")->group(connection);
  m_App.add_option("--profile", m_Profile, "section of " + ProfilePath() + " to use (default: [default])")
      ->group(connection);
  m_App.add_option("--timeout", m_Timeout, "give up on a silent control station after SECONDS")
      ->check(CLI::Range(0.001, 86400.0))
      ->group(connection);
  m_App.add_option("--ca-bundle", m_CaBundle, "verify the certificate and host name with this CA bundle")
      ->check(CLI::ExistingFile)
      ->group(connection);
  m_App.add_option("--pin", m_Pin, "accept only this public key: sha256//BASE64 (see `trust`)")->group(connection);
  m_App.add_flag("--insecure", m_Insecure, "do not verify the certificate, and do not say so")->group(connection);
  m_App.add_flag("--sim", m_Sim, "start the embedded simulated control station and use it")->group(connection);
  m_App.add_option("--job-id", m_JobId, "job id for the log lines")->group(connection);
  const char* output = "Output";
  m_App.add_option("-o,--output", m_Output, "json: one JSON document; table: for people (default)")
      ->check(CLI::IsMember({"json", "table"}))
      ->group(output);
  m_App.add_flag("--json", m_Json, "the same as -o json")->group(output);
  m_App.add_option("--log-level", m_LogLevel, "show the library's log lines up to this level (0 errors ... 6)")
      ->group(output);
}

int Runtime::RunAction(const std::function<int()>& action, bool needsFacade) {
  if (needsFacade && !Connect()) return kUsage;
  return action();
}

// A command whose output could not be written has failed, whatever it did.
int Runtime::FinishOutput(int status) {
  errno = 0;
  std::cout.flush();
  if (std::cout.fail() || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    int err = errno;
    Complain(std::string("cannot write the output: ") + (err ? std::strerror(err) : "standard output failed"));
    return kFailed;
  }
  return status;
}

int Runtime::Main(int argc, char** argv) {
  AddGlobalOptions();
  m_App.require_subcommand(1);
  RegisterFileSystemCommands(m_App, *this);
  RegisterCheckpointCommands(m_App, *this);
  RegisterMountCommands(m_App, *this);
  RegisterNfsCommands(m_App, *this);
  RegisterCifsCommands(m_App, *this);
  RegisterMoverCommands(m_App, *this);
  RegisterStorageCommands(m_App, *this);
  RegisterOfflineCommands(m_App, *this);
  RegisterTrustCommand(m_App, *this);
  CLI::App* demo = m_App.add_subcommand("demo", "scripted tour of the library (best with --sim)");
  OnRun(demo, [this] { return RunDemo(*this); });
  RegisterCompletionCommand(m_App, *this);

  try {
    m_App.parse(argc, argv);
  } catch (const CLI::Success& e) {  // --help, --version
    return FinishOutput(m_App.exit(e));
  } catch (const CLI::ParseError& e) {
    m_App.exit(e);
    return kUsage;
  }
  if (m_Json) m_Output = "json";
  int status = kUsage;
  bool ran = false;
  for (auto& action : m_Actions) {
    // The innermost chosen subcommand runs.
    if (action.sub->parsed() && action.sub->get_subcommands().empty()) {
      status = RunAction(action.run, action.needsFacade);
      ran = true;
      break;
    }
  }
  if (!ran) std::cerr << m_App.help() << std::endl;
  return FinishOutput(status);
}

}  // namespace celcli
