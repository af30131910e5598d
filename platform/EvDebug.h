// Logger and logging context of the host platform. Without the host, lines go
// to standard error or to the file named by CELERRA_LOG_FILE (a private
// regular file, or a character device such as /dev/null), filtered by the
// level threshold in CELERRA_LOG_LEVEL (default 0: errors; -1: nothing).
// A host may receive the lines itself (SetHostCallback); a test may install
// its own sink.
#pragma once

#include <cstdarg>
#include <functional>
#include <string>

#include "platform/CelerraExport.h"

class EvEvent {
 public:
  EvEvent();
  ~EvEvent();
  void setJobId(long long jobId) { m_JobId = jobId; }
  long long getJobId() const { return m_JobId; }

 private:
  long long m_JobId;
};

// A log file of the host platform that a logger can be bound to. Opaque
// here: without the host there are no such files.
class EvDebugFileInstance;

// The logger's levels. The type lives at namespace scope, where the
// facade's installed header can declare it without this header (nested in
// EvDebug it could not be named there); EvDebug names it EDEBUGLVL.
enum CelerraLogLevel : int {
  CELERRA_LOG_ONCE = -1,
  CELERRA_LOG_ERROR = 0,
  // What the steps of a failed operation said: written at the error level
  // outside an operation, at this one inside, where the operation's own
  // closing line is the one error line.
  CELERRA_LOG_DETAIL = 1,
  CELERRA_LOG_SETUP = 2,
  CELERRA_LOG_DUMP = 3,
  CELERRA_LOG_STEP = 5,
  CELERRA_LOG_DUMP_DETAIL = 6,
};

class EvDebug {
 public:
  using EDEBUGLVL = CelerraLogLevel;
  static constexpr EDEBUGLVL LVL_ONCE = CELERRA_LOG_ONCE;
  static constexpr EDEBUGLVL LVL_ERROR = CELERRA_LOG_ERROR;
  static constexpr EDEBUGLVL LVL_DETAIL = CELERRA_LOG_DETAIL;
  static constexpr EDEBUGLVL LVL_SETUP = CELERRA_LOG_SETUP;
  static constexpr EDEBUGLVL LVL_DUMP = CELERRA_LOG_DUMP;
  static constexpr EDEBUGLVL LVL_STEP = CELERRA_LOG_STEP;
  static constexpr EDEBUGLVL LVL_DUMP_DETAIL = CELERRA_LOG_DUMP_DETAIL;

  // Receives every line that passes the threshold: its level and the whole
  // formatted text (prefix, job id and message).
  using Sink = std::function<void(int level, const std::string& line)>;

  explicit EvDebug(const EvEvent& event) : m_JobId(event.getJobId()) {}
  explicit EvDebug(long long jobId = 0) : m_JobId(jobId) {}
  // A logger bound to a log file of the host; a null instance writes to the
  // default destination, with no job id.
  explicit EvDebug(EvDebugFileInstance* instance);

  void error(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void Error(const char* signature, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void Debug(const char* signature, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void debug(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void debugLvl(EDEBUGLVL level, long long jobId, const char* format, ...) __attribute__((format(printf, 4, 5)));
  void DebugLvl(const char* signature, EDEBUGLVL level, long long jobId, const char* format, ...)
      __attribute__((format(printf, 5, 6)));

  // The common back end: one line at `level` for `jobId`, printf-style.
  static void Write(int level, long long jobId, const char* format, va_list args);
  static void WriteLine(int level, long long jobId, const std::string& text);

  // Installs a sink in place of the default destination; an empty function
  // restores it. Returns the previous sink.
  static Sink SetSink(Sink sink);
  // The host's own receiver of every line that passes the threshold: level,
  // job id and the text without time stamp and process id. It replaces the
  // default destination (a test's sink still sees the lines). Null restores
  // the default. Lines are handed over one at a time (under a lock), so the
  // callback needs no locking of its own but must not log through the
  // library; an exception it throws is swallowed.
  using HostCallback = void (*)(int level, unsigned long long jobId, const char* text, void* userData);
  static void SetHostCallback(HostCallback callback, void* userData);

  // An operation of the facade runs on this thread: while one does, error
  // lines are written at LVL_DETAIL (its closing line, written after
  // LeaveOperation, is the one error line). Nested operations count. A line
  // written meanwhile without a job id of its own (by what facades share,
  // such as a shared session) carries the outermost operation's `jobId`.
  static void EnterOperation(long long jobId);
  // Returns true when the outermost operation has ended.
  static bool LeaveOperation();
  // The level a line of `level` is written at on this thread now.
  static int Effective(int level);
  // The tag a line of `level` carries now: an error demoted to a detail
  // reads as a debug line.
  static const char* Tag(int level, const char* tag);
  // Threshold: lines above it are dropped. Defaults to CELERRA_LOG_LEVEL or 0.
  static void SetLevel(int level);
  static int GetLevel();
  static bool Enabled(int level);

 private:
  long long m_JobId;
};

// Source-location prefix "file(line): -Tag-: " in front of a printf format.
// The level decides whether the line is written; the tag says what it is.
#define CEL_LOG(ev, lvl, tag, fmt, ...)                                                                  \
  do {                                                                                                   \
    if (EvDebug::Enabled(lvl))                                                                           \
      EvDebug(ev).debugLvl(static_cast<EvDebug::EDEBUGLVL>(lvl), (ev).getJobId(), "%s(%d): %s: " fmt,    \
                           celerra_basename(__FILE__), __LINE__, EvDebug::Tag(lvl, tag), ##__VA_ARGS__); \
  } while (0)

#define CEL_ERROR(ev, fmt, ...) CEL_LOG(ev, 0, "-Error-", fmt, ##__VA_ARGS__)
#define CEL_WARN(ev, lvl, fmt, ...) CEL_LOG(ev, lvl, "-Warn--", fmt, ##__VA_ARGS__)
#define CEL_DEBUG(ev, lvl, fmt, ...) CEL_LOG(ev, lvl, "-Debug-", fmt, ##__VA_ARGS__)

constexpr const char* celerra_basename(const char* path) {
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/') base = p + 1;
  return base;
}
