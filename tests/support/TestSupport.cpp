#include "tests/support/TestSupport.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/EvDebug.h"
#include "platform/TuSleep.h"

namespace celtest {

LogCapture::LogCapture(int level) : m_OldLevel(EvDebug::GetLevel()) {
  EvDebug::SetLevel(level);
  EvDebug::SetSink([this](int, const std::string& line) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Lines.push_back(line);
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
  for (const auto& f : Files()) unlink((m_Path + "/" + f).c_str());
  rmdir(m_Path.c_str());
}

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
