// A mutex that excludes across the threads and processes of one user on the
// machine. Objects built with the same name share one lock file in the user's
// private directory, <temp>/celerra-<uid> (mode 0700), and hold it with
// flock(), so the kernel releases it when a holder dies. No other user can
// open the file, so no other user can hold the lock or stall its holders.
// A wait for the lock is bounded: lock() gives up after the wait limit.
// The holding thread may take it again (the count must return to zero before
// another thread or process gets it).
#pragma once

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "platform/CelerraExport.h"

class OxNamedMutex {
 public:
  explicit OxNamedMutex(const char* name);
  ~OxNamedMutex();
  OxNamedMutex(const OxNamedMutex&) = delete;
  OxNamedMutex& operator=(const OxNamedMutex&) = delete;

  // False when the lock file could not be opened or was refused (planted by
  // another user, a link, group or others may open it); error() is the errno
  // and errorText() says why.
  bool isValid() const { return m_Fd >= 0; }
  int error() const { return m_Errno; }
  const std::string& errorText() const { return m_ErrorText; }
  const std::string& path() const { return m_Path; }

  // Takes the lock; true at once when this thread holds it already. False
  // when another holder kept it for the whole wait limit (or the object is
  // not valid); the lock is then not held and unlock() must not be called.
  bool lock();
  void unlock();

  // How long lock() waits for another holder; 30 s unless set.
  void setWaitLimit(std::chrono::milliseconds limit) { m_WaitLimit = limit; }
  std::chrono::milliseconds waitLimit() const { return m_WaitLimit; }

 private:
  bool Acquire(std::chrono::steady_clock::time_point deadline);

  std::string m_Path;
  int m_Fd = -1;
  int m_Errno = 0;
  std::string m_ErrorText;
  std::chrono::milliseconds m_WaitLimit{30000};
  // Threads of this process that share the object: flock() alone would let
  // them all in, since they share the one open file.
  std::mutex m_Local;
  std::atomic<std::thread::id> m_Owner{};
  int m_Depth = 0;
};
