#include "tests/support/TestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/EvDebug.h"
#include "platform/TuSleep.h"
#include "transport/SharedSession.h"

namespace celtest {

LogCapture::LogCapture(int level) : m_OldLevel(EvDebug::GetLevel()) {
  EvDebug::SetLevel(level);
  EvDebug::SetSink([this](int level, const std::string& line) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Lines.push_back(line);
    m_Levels.push_back(level);
  });
}

LogCapture::~LogCapture() {
  EvDebug::SetSink(nullptr);
  EvDebug::SetLevel(m_OldLevel);
}

std::vector<std::string> LogCapture::Lines() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Lines;
}

std::vector<std::string> LogCapture::LinesAtOrBelow(int level) const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  std::vector<std::string> out;
  for (size_t i = 0; i < m_Lines.size(); ++i)
    if (m_Levels[i] <= level) out.push_back(m_Lines[i]);
  return out;
}

bool LogCapture::Contains(const std::string& text) const { return Count(text) > 0; }

size_t LogCapture::Count(const std::string& text) const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  size_t n = 0;
  for (const auto& line : m_Lines)
    if (line.find(text) != std::string::npos) ++n;
  return n;
}

void LogCapture::Clear() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Lines.clear();
  m_Levels.clear();
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : m_Name(name) {
  const char* old = getenv(name);
  m_Had = old != nullptr;
  if (old) m_Old = old;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (m_Had)
    setenv(m_Name.c_str(), m_Old.c_str(), 1);
  else
    unsetenv(m_Name.c_str());
}

namespace {
std::mutex g_sleepMutex;
std::vector<unsigned long> g_pauses;
void RecordSleep(unsigned long ms, const char*, int) {
  std::lock_guard<std::mutex> lock(g_sleepMutex);
  g_pauses.push_back(ms);
}
}  // namespace

SleepRecorder::SleepRecorder() {
  {
    std::lock_guard<std::mutex> lock(g_sleepMutex);
    g_pauses.clear();
  }
  TuSetSleepHook(RecordSleep);
}

SleepRecorder::~SleepRecorder() { TuSetSleepHook(nullptr); }

std::vector<unsigned long> SleepRecorder::Pauses() {
  std::lock_guard<std::mutex> lock(g_sleepMutex);
  return g_pauses;
}

TempDir::TempDir() {
  char pattern[] = "/tmp/celerra-test-XXXXXX";
  const char* made = mkdtemp(pattern);
  m_Path = made ? made : "/tmp";
}

TempDir::~TempDir() {
  if (m_Path == "/tmp") return;
  nftw(
      m_Path.c_str(), [](const char* path, const struct stat*, int, struct FTW*) { return remove(path); }, 16,
      FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::PrivateDir() const { return m_Path + "/celerra-" + std::to_string(geteuid()); }

std::vector<std::string> TempDir::Files() const {
  std::vector<std::string> out;
  if (DIR* dir = opendir(m_Path.c_str())) {
    while (struct dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") out.push_back(name);
    }
    closedir(dir);
  }
  return out;
}

celsim::Simulator::Options SimTest::SimOptions() {
  celsim::Simulator::Options options;
  options.user = kUser;
  options.password = kPassword;
  options.scale = m_Scale;
  return options;
}

void SimTest::SetUp() {
  m_Temp.reset(new TempDir());
  m_TempEnv.reset(new ScopedEnv("CELERRA_TEMP_DIR", m_Temp->path()));
  m_Sim.reset(new celsim::Simulator(SimOptions()));
  ASSERT_TRUE(m_Sim->Start());
}

void SimTest::TearDown() {
  // What the test's facades shared does not reach the next test, whose
  // simulator may get the same port.
  celerra_internal::ForgetIdleSharedSessions();
  m_Sim.reset();
  m_TempEnv.reset();
  m_Temp.reset();
}

std::unique_ptr<ManageCelerra> SimTest::NewFacade(unsigned long long jobId) {
  std::unique_ptr<ManageCelerra> facade(new ManageCelerra(jobId));
  facade->SetControlHostInfo(m_Sim->address(), kUser, kPassword);
  return facade;
}

std::vector<celsim::JournalEntry> SimTest::Sent(const std::string& type) {
  std::vector<celsim::JournalEntry> out;
  for (const auto& e : m_Sim->Requests())
    if (e.messageType == type) out.push_back(e);
  return out;
}

std::vector<std::string> SimTest::Types() {
  std::vector<std::string> types;
  for (const auto& r : m_Sim->Requests()) types.push_back(r.messageType);
  return types;
}

pugi::xml_node SimTest::RequestBody(pugi::xml_document& doc, size_t index) {
  auto requests = m_Sim->Requests();
  EXPECT_GT(requests.size(), index);
  if (requests.size() <= index) return pugi::xml_node();
  EXPECT_TRUE(doc.load_string(requests[index].body.c_str())) << requests[index].body;
  pugi::xml_node outer = doc.child("RequestPacket").child("Request");
  return (outer.child("Query") ? outer.child("Query") : outer.child("StartTask")).first_child();
}

size_t SimTest::Logins() {
  size_t n = 0;
  for (const auto& e : m_Sim->Journal()) n += e.path == "/Login";
  return n;
}

std::string LibraryPath() {
  const char* dir = getenv("CELERRA_LIB_DIR");
  return std::string(dir ? dir : ".") + "/libcelerra.so";
}

std::string Shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) {
    if (status) *status = -1;
    return out;
  }
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  int rc = pclose(pipe);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

CliResult RunCelerractl(const std::string& args, const std::string& dir, const std::string& env) {
  std::string errFile = dir + "/celerractl.stderr";
  const char* bin = getenv("CELERRA_BIN_DIR");
  std::string cmd = "XDG_CONFIG_HOME='" + dir + "' " + env + " " + std::string(bin ? bin : ".") + "/celerractl " +
                    args + " 2>" + errFile;
  CliResult result;
  result.out = Shell(cmd, &result.status);
  result.err = ReadFile(errFile);
  unlink(errFile.c_str());
  return result;
}

CliResult SimTest::RunCli(const std::string& args) {
  ScopedEnv password("CELTEST_CLI_PASSWORD", kPassword);
  return RunCelerractl("--host " + m_Sim->address() + " --user " + kUser +
                           " --password-env CELTEST_CLI_PASSWORD --pin " + m_Sim->PublicKeyPin() + " " + args,
                       m_Temp->path());
}

SimProgram::~SimProgram() {
  if (m_Pid > 0) Stop();
}

bool SimProgram::Start(const std::vector<std::string>& args, const std::string& stderrFile) {
  int out[2];
  if (pipe(out) != 0) return false;
  std::string program = std::string(getenv("CELERRA_BIN_DIR")) + "/celerra-sim";
  m_Pid = fork();
  if (m_Pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    if (!stderrFile.empty()) {
      int fd = open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd >= 0) dup2(fd, STDERR_FILENO);
    }
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
  m_Address = text.substr(prefix.size());
  while (!m_Address.empty() && isspace(static_cast<unsigned char>(m_Address.back()))) m_Address.pop_back();
  return true;
}

bool SimProgram::Running() {
  if (m_Pid <= 0) return false;
  int status;
  if (waitpid(m_Pid, &status, WNOHANG) == 0) return true;
  m_Pid = -1;
  return false;
}

int SimProgram::Stop() {
  if (m_Pid <= 0) return -1;
  kill(m_Pid, SIGTERM);
  int status = 0;
  waitpid(m_Pid, &status, 0);
  m_Pid = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

long SimProgram::RssKiB() const {
  std::string status = ReadFile("/proc/" + std::to_string(m_Pid) + "/status");
  size_t at = status.find("VmRSS:");
  return at == std::string::npos ? -1 : std::atol(status.c_str() + at + 6);
}

int SimTest::RunCli(const std::string& args, std::string* out, std::string* err) {
  CliResult result = RunCli(args);
  if (out) *out = result.out;
  if (err == out && err) {
    *err += result.err;
  } else if (err) {
    *err = result.err;
  }
  return result.status;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

celsim::Fault ProblemFault(const std::string& type, const std::string& code, const std::string& message,
                           const std::string& severity) {
  celsim::Fault fault;
  fault.kind = celsim::FaultKind::Problem;
  fault.messageType = type;
  fault.problem.messageCode = code;
  fault.problem.message = message;
  fault.problem.description = message;
  fault.problem.severity = severity;
  return fault;
}

celsim::Fault KindFault(celsim::FaultKind kind, const std::string& type, int count) {
  celsim::Fault fault;
  fault.kind = kind;
  fault.messageType = type;
  fault.count = count;
  return fault;
}

celsim::Fault CannedFault(const std::string& type, const std::string& reply) {
  celsim::Fault fault = KindFault(celsim::FaultKind::Canned, type);
  fault.canned = reply;
  return fault;
}

}  // namespace celtest
