#include "platform/EvDebug.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/internal/PrivateFiles.h"

namespace {

int LevelFromEnvironment() {
  const char* text = std::getenv("CELERRA_LOG_LEVEL");
  return text && *text ? std::atoi(text) : 0;
}

struct LogState {
  std::mutex mutex;
  EvDebug::Sink sink;
  EvDebug::HostCallback host = nullptr;
  void* hostData = nullptr;
  FILE* file = nullptr;
  bool fileTried = false;
};

LogState& State() {
  static LogState* state = new LogState();  // never destroyed: logging may run during unload
  return *state;
}

// Operations of the facade running on this thread (they nest).
thread_local int t_OperationDepth = 0;
// The job id of the outermost of them.
thread_local long long t_OperationJob = 0;

std::atomic<int>& Threshold() {
  static std::atomic<int> level{LevelFromEnvironment()};
  return level;
}

// The log file named by CELERRA_LOG_FILE, opened once: created 0600, never
// through a symbolic link, and refused when it belongs to another user or
// others may read it (the lines name hosts, users and objects). A refused
// file leaves the lines on standard error, the first of them saying why.
FILE* Destination(LogState& state) {
  if (!state.fileTried) {
    state.fileTried = true;
    const char* path = std::getenv("CELERRA_LOG_FILE");
    if (path && *path) {
      std::string why;
      // A character device (/dev/null, a terminal) keeps nothing for others
      // to read: it is written as it is.
      struct stat info;
      bool device = ::stat(path, &info) == 0 && S_ISCHR(info.st_mode);
      int fd = device ? ::open(path, O_WRONLY | O_CLOEXEC)
                      : celerra_platform::OpenPrivateFile(path, O_WRONLY | O_APPEND, &why);
      if (fd < 0 && device) why = std::string(path) + ": " + std::strerror(errno);
      if (fd >= 0) state.file = fdopen(fd, "a");
      if (!state.file) {
        if (fd >= 0) {
          why = std::string(path) + ": " + std::strerror(errno);
          ::close(fd);
        }
        std::fprintf(stderr, "celerra: log file %s; logging to standard error\n", why.c_str());
      }
    }
  }
  return state.file ? state.file : stderr;
}

std::string Format(const char* format, va_list args) {
  char small[1024];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, n);
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(&big[0], big.size(), format, args);
  big.resize(n);
  return big;
}

}  // namespace

EvEvent::EvEvent() : m_JobId(0) {}
EvEvent::~EvEvent() = default;

// Without the host there are no log-file instances: every logger writes to
// the one default destination.
EvDebug::EvDebug(EvDebugFileInstance* instance) : m_JobId(0) { (void)instance; }

void EvDebug::WriteLine(int level, long long jobId, const std::string& text) {
  level = Effective(level);
  if (jobId == 0 && t_OperationDepth > 0) jobId = t_OperationJob;
  LogState& state = State();
  struct timeval now;
  gettimeofday(&now, nullptr);
  struct tm tm;
  localtime_r(&now.tv_sec, &tm);
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long>(now.tv_usec / 1000));
  char head[160];
  std::snprintf(head, sizeof head, "%s [%d] job %lld L%d ", stamp, static_cast<int>(getpid()), jobId, level);
  std::string line = head + text;
  while (!line.empty() && line.back() == '\n') line.pop_back();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.sink) state.sink(level, line);
  if (state.host) {
    try {
      state.host(level, static_cast<unsigned long long>(jobId), line.c_str() + std::strlen(head), state.hostData);
    } catch (...) {
      // The host's code failed; the library's caller must not see it.
    }
    return;
  }
  if (state.sink) return;
  FILE* out = Destination(state);
  std::fprintf(out, "%s\n", line.c_str());
  std::fflush(out);
}

void EvDebug::Write(int level, long long jobId, const char* format, va_list args) {
  if (!Enabled(level)) return;
  WriteLine(level, jobId, Format(format, args));
}

EvDebug::Sink EvDebug::SetSink(Sink sink) {
  LogState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  Sink old = std::move(state.sink);
  state.sink = std::move(sink);
  return old;
}

void EvDebug::SetHostCallback(HostCallback callback, void* userData) {
  LogState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  state.host = callback;
  state.hostData = callback ? userData : nullptr;
}

void EvDebug::EnterOperation(long long jobId) {
  if (t_OperationDepth++ == 0) t_OperationJob = jobId;
}
bool EvDebug::LeaveOperation() { return t_OperationDepth > 0 && --t_OperationDepth == 0; }
int EvDebug::Effective(int level) { return level == LVL_ERROR && t_OperationDepth > 0 ? LVL_DETAIL : level; }
const char* EvDebug::Tag(int level, const char* tag) {
  // A demoted error reads as a debug line; a warning stays one.
  return Effective(level) == level || std::strcmp(tag, "-Error-") != 0 ? tag : "-Debug-";
}

void EvDebug::SetLevel(int level) { Threshold().store(level); }
int EvDebug::GetLevel() { return Threshold().load(); }
bool EvDebug::Enabled(int level) { return Effective(level) <= Threshold().load(std::memory_order_relaxed); }

void EvDebug::error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(LVL_ERROR, m_JobId, format, args);
  va_end(args);
}

void EvDebug::Error(const char* signature, const char* format, ...) {
  if (!Enabled(LVL_ERROR)) return;
  va_list args;
  va_start(args, format);
  WriteLine(LVL_ERROR, m_JobId, std::string(signature) + ": " + Format(format, args));
  va_end(args);
}

void EvDebug::Debug(const char* signature, const char* format, ...) {
  if (!Enabled(LVL_ERROR)) return;
  va_list args;
  va_start(args, format);
  WriteLine(LVL_ERROR, m_JobId, std::string(signature) + ": " + Format(format, args));
  va_end(args);
}

void EvDebug::debug(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(LVL_ERROR, m_JobId, format, args);
  va_end(args);
}

void EvDebug::debugLvl(EDEBUGLVL level, long long jobId, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Write(level, jobId, format, args);
  va_end(args);
}

void EvDebug::DebugLvl(const char* signature, EDEBUGLVL level, long long jobId, const char* format, ...) {
  if (!Enabled(level)) return;
  va_list args;
  va_start(args, format);
  WriteLine(level, jobId, std::string(signature) + ": " + Format(format, args));
  va_end(args);
}
