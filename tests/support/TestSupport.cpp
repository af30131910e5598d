#include "tests/support/TestSupport.h"

#include <dirent.h>
#include <ftw.h>
#include <sys/wait.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/EvDebug.h"
#include "platform/TuSleep.h"

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
      m_Path.c_str(),
      [](const char* path, const struct stat*, int, struct FTW*) { return remove(path); }, 16,
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
  m_Sim.reset();
  m_TempEnv.reset();
  m_Temp.reset();
}

std::unique_ptr<ManageCelerra> SimTest::NewFacade(unsigned long long jobId) {
  std::unique_ptr<ManageCelerra> facade(new ManageCelerra(jobId));
  facade->SetControlHostInfo(m_Sim->address(), kUser, kPassword);
  return facade;
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

SimTest::CliResult SimTest::RunCli(const std::string& args) {
  ScopedEnv password("CELTEST_CLI_PASSWORD", kPassword);
  std::string errFile = m_Temp->path() + "/celerractl.stderr";
  const char* bin = getenv("CELERRA_BIN_DIR");
  std::string cmd = std::string(bin ? bin : ".") + "/celerractl --host " + m_Sim->address() + " --user " + kUser +
                    " --password-env CELTEST_CLI_PASSWORD " + args + " 2>" + errFile;
  CliResult result;
  result.out = Shell(cmd, &result.status);
  result.err = ReadFile(errFile);
  unlink(errFile.c_str());
  return result;
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

}  // namespace celtest
