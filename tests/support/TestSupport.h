// Shared test fixtures: a simulated control station per test, facades bound
// to it, captured log lines, environment overrides and the sleep seam.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <pugixml.hpp>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "sim/DatasetIds.h"
#include "sim/Simulator.h"

namespace celtest {

// The default dataset's objects by name (kFs1, kFs1Ckpt1, ...).
using namespace celsim::ids;

constexpr const char* kUser = "admin";
constexpr const char* kPassword = "S3cr&t=pa55";

// Collects every library log line (all levels) while alive.
class LogCapture {
 public:
  explicit LogCapture(int level = 6);
  ~LogCapture();
  std::vector<std::string> Lines() const;
  // The lines logged at `level` or below (0: what the default threshold
  // lets through).
  std::vector<std::string> LinesAtOrBelow(int level) const;
  bool Contains(const std::string& text) const;
  size_t Count(const std::string& text) const;
  void Clear();

 private:
  mutable std::mutex m_Mutex;
  std::vector<std::string> m_Lines;
  std::vector<int> m_Levels;
  int m_OldLevel;
};

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string m_Name;
  bool m_Had;
  std::string m_Old;
};

// Replaces the platform sleep so retry loops return at once; records the
// pauses asked for.
class SleepRecorder {
 public:
  SleepRecorder();
  ~SleepRecorder();
  static std::vector<unsigned long> Pauses();
};

// A private temp directory for the library's files (traces, mutex), removed
// with all it holds.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return m_Path; }
  std::vector<std::string> Files() const;
  // The library's per-user directory in it: <path>/celerra-<uid>.
  std::string PrivateDir() const;

 private:
  std::string m_Path;
};

// What a run of a built program left: its exit status (-1 when it did not
// exit normally) and what it wrote.
struct CliResult {
  int status = -1;
  std::string out, err;
};

// Runs the built celerractl with `args` (shell words) in the shell, with
// `dir` as its profile directory (XDG_CONFIG_HOME) and `env` ("NAME=value
// ...") added to its environment.
CliResult RunCelerractl(const std::string& args, const std::string& dir, const std::string& env = std::string());

// The built celerra-sim run as a program of its own: Start reads its
// "listening on" line; the destructor ends it with SIGTERM.
class SimProgram {
 public:
  SimProgram() = default;
  ~SimProgram();
  SimProgram(const SimProgram&) = delete;
  SimProgram& operator=(const SimProgram&) = delete;

  // False when it exits or says anything else first; `stderrFile` (when
  // given) receives its standard error.
  bool Start(const std::vector<std::string>& args, const std::string& stderrFile = std::string());
  const std::string& address() const { return m_Address; }
  pid_t pid() const { return m_Pid; }
  bool Running();
  // SIGTERM, then its exit status.
  int Stop();
  // Its resident memory, in KiB (from /proc).
  long RssKiB() const;

 private:
  pid_t m_Pid = -1;
  std::string m_Address;
};

// Starts a simulator with user kUser and password kPassword.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::unique_ptr<ManageCelerra> NewFacade(unsigned long long jobId = 7);

  // Runs the built celerractl against the simulator with the test
  // credentials (the password through an environment variable) and its key
  // pinned. Returns the exit status; standard output goes to `out`,
  // standard error to `err` (appended to `out` when both point at the same
  // string).
  CliResult RunCli(const std::string& args);
  int RunCli(const std::string& args, std::string* out, std::string* err = nullptr);
  celsim::Simulator::Options SimOptions();

  std::unique_ptr<TempDir> m_Temp;
  std::unique_ptr<ScopedEnv> m_TempEnv;
  std::unique_ptr<celsim::Simulator> m_Sim;
  celsim::Simulator& sim() { return *m_Sim; }
  // The requests of `type` the simulator received, oldest first.
  std::vector<celsim::JournalEntry> Sent(const std::string& type);
  // The message types of the requests it received, oldest first.
  std::vector<std::string> Types();
  // The body element (the Query's or StartTask's child) of the index-th
  // request it received, read into `doc`.
  pugi::xml_node RequestBody(pugi::xml_document& doc, size_t index);
  // The logins the simulator answered.
  size_t Logins();
  int m_Scale = 0;
};

// The built libcelerra.so.
std::string LibraryPath();
// Runs a shell command; returns its standard output.
std::string Shell(const std::string& command, int* status = nullptr);
// Reads a whole file.
std::string ReadFile(const std::string& path);
// A fault that refuses the next request of `type` with an error problem.
celsim::Fault ProblemFault(const std::string& type, const std::string& code, const std::string& message,
                           const std::string& severity = "error");
// A fault of `kind` on requests of `type` (every request when empty),
// `count` times (-1: until cleared).
celsim::Fault KindFault(celsim::FaultKind kind, const std::string& type = std::string(), int count = 1);
// `reply` as it is, once, in answer to a request of `type` (any when empty).
celsim::Fault CannedFault(const std::string& type, const std::string& reply);

}  // namespace celtest
