// A mutex that excludes across the threads and processes of the machine.
// Objects built with the same name share one lock file in the temp directory
// and hold it with flock(), so the kernel releases it when a holder dies.
// The holding thread may take it again (the count must return to zero before
// another thread or process gets it).
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "platform/CelerraExport.h"

class OxNamedMutex {
 public:
  explicit OxNamedMutex(const char* name);
  ~OxNamedMutex();
  OxNamedMutex(const OxNamedMutex&) = delete;
  OxNamedMutex& operator=(const OxNamedMutex&) = delete;

  // False when the lock file could not be opened; errno tells why.
  bool isValid() const { return m_Fd >= 0; }
  int error() const { return m_Errno; }
  const std::string& path() const { return m_Path; }

  void lock();
  void unlock();

 private:
  std::string m_Path;
  int m_Fd = -1;
  int m_Errno = 0;
  std::atomic<std::thread::id> m_Owner{};
  int m_Depth = 0;
};
