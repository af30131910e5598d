#include "platform/OxNamedMutex.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

#include "platform/internal/PrivateFiles.h"

namespace {

// Keeps the lock file name to characters that are safe in a path.
std::string FileNameFor(const char* name) {
  std::string out;
  for (const char* p = name ? name : ""; *p; ++p) {
    char c = *p;
    bool safe =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
    out += safe ? c : '_';
  }
  return out + ".lock";
}

}  // namespace

OxNamedMutex::OxNamedMutex(const char* name) {
  std::string dir;
  errno = 0;
  if (!celerra_platform::PrivateDirectory(&dir, &m_ErrorText)) {
    m_Errno = errno ? errno : EPERM;
    return;
  }
  m_Path = dir + "/" + FileNameFor(name);
  m_Fd = celerra_platform::OpenPrivateFile(m_Path, O_RDWR, &m_ErrorText);
  if (m_Fd < 0) m_Errno = errno ? errno : EPERM;
}

OxNamedMutex::~OxNamedMutex() {
  if (m_Fd >= 0) ::close(m_Fd);
}

bool OxNamedMutex::Acquire(std::chrono::steady_clock::time_point deadline) {
  // Polled rather than blocking: a holder that never lets go (a stopped
  // process) must cost a bounded wait, not the caller's job. The thread lock
  // comes first, then the file's.
  std::chrono::milliseconds pause(1);
  bool local = false;
  for (;;) {
    if (!local) local = m_Local.try_lock();
    if (local) {
      if (flock(m_Fd, LOCK_EX | LOCK_NB) == 0) return true;
      if (errno != EWOULDBLOCK && errno != EINTR) break;
    }
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
    std::this_thread::sleep_for(std::min(pause, left));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  if (local) m_Local.unlock();
  return false;
}

bool OxNamedMutex::lock() {
  std::thread::id self = std::this_thread::get_id();
  if (m_Owner.load() == self) {
    ++m_Depth;
    return true;
  }
  if (m_Fd < 0 || !Acquire(std::chrono::steady_clock::now() + m_WaitLimit)) return false;
  m_Owner.store(self);
  m_Depth = 1;
  return true;
}

void OxNamedMutex::unlock() {
  if (m_Owner.load() != std::this_thread::get_id() || m_Depth == 0) return;
  if (--m_Depth > 0) return;
  m_Owner.store(std::thread::id());
  flock(m_Fd, LOCK_UN);
  m_Local.unlock();
}
