// Many facades at once against one control station, tracing on: 8 threads of
// this process (sharing one login) and 4 client processes run the mixed
// workload. And a
// long-lived session opens no file.
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <map>
#include <regex>
#include <thread>

#include "tests/support/StressWork.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

constexpr int kThreads = 8;
constexpr int kProcesses = 4;
constexpr int kRounds = 10;
constexpr unsigned long long kThreadJob = 1000;
constexpr unsigned long long kProcessJob = 2000;
// Far beyond what the workload needs: reaching it means a deadlock.
constexpr auto kDeadline = std::chrono::seconds(240);

// Checks one trace file record by record: a banner naming the job and the
// chunk's byte count, an optional type line, then the job id, a tab and
// exactly that many bytes (and an end of line when the chunk had none). A
// chunk written into the middle of another breaks the counts. Returns what
// is wrong, or an empty text; counts the records.
std::string CheckTrace(const std::string& text, const std::set<std::string>& jobs, size_t* records) {
  static const std::regex banner("([0-9]+) \\*\\*\\*\\*\\*\\*Got \\[([0-9]+)\\] bytes of header data from the server");
  static const std::set<std::string> typeLines = {"Debug info: text type", "Debug info: header in type",
                                                  "Debug info: header out type"};
  *records = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    std::string at = " at byte " + std::to_string(pos);
    size_t eol = text.find('\n', pos);
    if (eol == std::string::npos) return "an unterminated line" + at;
    std::smatch m;
    std::string line = text.substr(pos, eol - pos);
    if (!std::regex_match(line, m, banner)) return "not a banner: [" + line.substr(0, 80) + "]" + at;
    const std::string job = m[1];
    if (!jobs.count(job)) return "unknown job id " + job + at;
    size_t bytes = std::stoul(m[2]);
    pos = eol + 1;
    eol = text.find('\n', pos);
    if (eol != std::string::npos && typeLines.count(text.substr(pos, eol - pos))) pos = eol + 1;
    const std::string lead = job + "\t";
    if (text.compare(pos, lead.size(), lead) != 0) return "chunk without its job id and tab" + at;
    pos += lead.size();
    if (pos + bytes > text.size()) return "a chunk shorter than its banner says" + at;
    bool ownEnd = bytes > 0 && text[pos + bytes - 1] == '\n';
    pos += bytes;
    if (!ownEnd) {
      if (pos >= text.size() || text[pos] != '\n') return "a chunk not ended by its line end" + at;
      ++pos;
    }
    ++*records;
  }
  return std::string();
}

class StressTest : public SimTest {};

TEST_F(StressTest, ThreadsAndProcessesShareOneControlStation) {
  ScopedEnv trace("sCELERRALOGXMLMSG", "yes");
  ScopedEnv user("CELERRA_STRESS_USER", kUser);
  ScopedEnv password("CELERRA_STRESS_PASSWORD", kPassword);
  // Every log line, of the threads and of the clients, is kept to be
  // searched for the password.
  const std::string clientLog = m_Temp->path() + "/clients.log";
  ScopedEnv clientLevel("CELERRA_LOG_LEVEL", "6");
  ScopedEnv clientFile("CELERRA_LOG_FILE", clientLog);
  LogCapture log(6);
  const std::string client = std::string(getenv("CELERRA_BIN_DIR")) + "/celerra-stress-client";
  ASSERT_EQ(access(client.c_str(), X_OK), 0) << client;

  // Client processes: fork and at once exec, so that no copy of this
  // multi-threaded process runs library code.
  std::vector<pid_t> children;
  const std::string address = sim().address();
  const std::string rounds = std::to_string(kRounds);
  for (int p = 0; p < kProcesses; ++p) {
    const std::string job = std::to_string(kProcessJob + p);
    std::vector<char*> argv = {const_cast<char*>(client.c_str()), const_cast<char*>(address.c_str()),
                               const_cast<char*>(job.c_str()), const_cast<char*>(rounds.c_str()), nullptr};
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      execv(argv[0], argv.data());
      _exit(127);
    }
    children.push_back(pid);
  }

  std::mutex lock;
  std::condition_variable done;
  int finished = 0;
  std::vector<std::string> wrong(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      {
        ManageCelerra facade(kThreadJob + t);
        facade.SetControlHostInfo(address, kUser, kPassword);
        for (int round = 0; round < kRounds && wrong[t].empty(); ++round)
          wrong[t] = celstress::RunRound(facade, kThreadJob + t, round);
      }
      std::lock_guard<std::mutex> guard(lock);
      ++finished;
      done.notify_all();
    });
  }

  auto deadline = std::chrono::steady_clock::now() + kDeadline;
  {
    std::unique_lock<std::mutex> guard(lock);
    if (!done.wait_until(guard, deadline, [&] { return finished == kThreads; })) {
      for (pid_t pid : children) kill(pid, SIGKILL);
      ADD_FAILURE() << "only " << finished << " of " << kThreads << " threads finished: deadlock";
      std::abort();  // the hung threads cannot be joined
    }
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(wrong[t], "") << "thread " << t;

  for (pid_t pid : children) {
    int status = 0;
    pid_t got = 0;
    while ((got = waitpid(pid, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (got == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "client process " << pid << " did not finish: deadlock";
      continue;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "client process " << pid << " status " << status;
  }

  // Cookies never crossed. The threads' facades shared one login and one
  // session; each client process logged in once. Every worker ran the same
  // rounds, so each process's session carried as many requests as one
  // thread's share of the shared one.
  EXPECT_EQ(sim().CrossedCookies(), 0);
  std::map<std::string, size_t> perSession;
  size_t logins = 0;
  for (const auto& e : sim().Journal()) {
    if (e.path == "/Login") {
      ++logins;
      EXPECT_EQ(e.status, 200);
    } else {
      ++perSession[e.session];
      EXPECT_EQ(e.status, 200) << e.messageType;
    }
  }
  EXPECT_EQ(logins, static_cast<size_t>(1 + kProcesses));
  ASSERT_EQ(perSession.size(), static_cast<size_t>(1 + kProcesses));
  size_t exchanges = 0, smallest = SIZE_MAX, largest = 0;
  for (const auto& s : perSession) {
    EXPECT_FALSE(s.first.empty());
    smallest = std::min(smallest, s.second);
    largest = std::max(largest, s.second);
    exchanges += s.second;
  }
  EXPECT_EQ(largest, smallest * kThreads);
  EXPECT_EQ(exchanges, smallest * (kThreads + kProcesses));
  std::printf("stress: %zu exchanges by %d facades\n", exchanges, kThreads + kProcesses);

  std::set<std::string> jobs;
  for (int t = 0; t < kThreads; ++t) jobs.insert(std::to_string(kThreadJob + t));
  for (int p = 0; p < kProcesses; ++p) jobs.insert(std::to_string(kProcessJob + p));
  for (const char* file : {"CelerraXMLDebugFile", "CelerraXMLHeaderFile"}) {
    std::string text = ReadFile(m_Temp->PrivateDir() + "/" + file);
    size_t records = 0;
    EXPECT_EQ(CheckTrace(text, jobs, &records), "") << file;
    EXPECT_GT(records, exchanges) << file;
    for (const char* secret : {kPassword, "S3cr%26t%3Dpa55"})
      EXPECT_EQ(text.find(secret), std::string::npos) << "a password in " << file;
  }
  std::string logged = ReadFile(clientLog);
  EXPECT_NE(logged.find("job 2000 "), std::string::npos) << "the clients logged nothing";
  for (const std::string& line : log.Lines()) logged += line + "\n";
  for (const char* secret : {kPassword, "S3cr%26t%3Dpa55", "S3cr&amp;t=pa55"})
    EXPECT_EQ(logged.find(secret), std::string::npos) << "a password in a log line";
}

TEST_F(StressTest, TraceCheckCatchesAnInterleavedChunk) {
  std::set<std::string> jobs = {"7", "8"};
  size_t records = 0;
  const std::string good =
      "7 ******Got [6] bytes of header data from the server\nDebug info: header out type\n7\tPOST /\n"
      "8 ******Got [3] bytes of header data from the server\n8\tabc\n";
  EXPECT_EQ(CheckTrace(good, jobs, &records), "");
  EXPECT_EQ(records, 2u);
  // The second writer's chunk landed inside the first one's.
  const std::string torn =
      "7 ******Got [6] bytes of header data from the server\n7\tPO8 ******Got [3] bytes of header data from the "
      "server\n8\tabc\nST /\n";
  EXPECT_NE(CheckTrace(torn, jobs, &records), "");
}

// The session cookie lives in libcurl's memory: a long-lived session opens
// no file at all, not once per request (as a cookie file named per request
// was), not once per session. Watched with inotify on the temp directory.
TEST_F(StressTest, ASessionOpensNoFileInTheTempDirectory) {
  LogCapture quiet(0);
  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  // Closes are watched too: the kernel merges an event into an identical
  // unread one before it, and open, close, open... never repeats.
  ASSERT_GE(inotify_add_watch(watch, m_Temp->path().c_str(), IN_OPEN | IN_CREATE | IN_CLOSE_NOWRITE), 0);
  auto fileOpens = [watch] {
    size_t n = 0;
    alignas(struct inotify_event) char buf[64 * 1024];
    ssize_t got;
    while ((got = read(watch, buf, sizeof buf)) > 0) {
      for (char* p = buf; p < buf + got;) {
        auto* e = reinterpret_cast<struct inotify_event*>(p);
        if ((e->mask & (IN_OPEN | IN_CREATE)) && e->len) ++n;
        p += sizeof(struct inotify_event) + e->len;
      }
    }
    return n;
  };
  auto facade = NewFacade();
  std::map<std::string, std::string> movers;
  constexpr size_t kOperations = 100;
  size_t opens = 0;
  for (size_t i = 0; i < kOperations; ++i) {
    ASSERT_TRUE(facade->GetMoverNames(movers));
    opens += fileOpens();  // drained as it goes, so the event queue never overflows
  }
  facade.reset();
  opens += fileOpens();
  EXPECT_EQ(opens, 0u) << "a session opened or created files in the temp directory";
  EXPECT_TRUE(m_Temp->Files().empty());
  close(watch);
}

}  // namespace
