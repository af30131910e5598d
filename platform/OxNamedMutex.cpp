#include "platform/OxNamedMutex.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/OXPI_Base.h"

namespace {

// Keeps the lock file name to characters that are safe in a path.
std::string FileNameFor(const char* name) {
  std::string out;
  for (const char* p = name ? name : ""; *p; ++p) {
    char c = *p;
    bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                c == '-' || c == '.';
    out += safe ? c : '_';
  }
  return out + ".lock";
}

}  // namespace

OxNamedMutex::OxNamedMutex(const char* name) {
  const char* dir = OXPI_Base().getOrvaneTempDirectory();
  m_Path = std::string(dir ? dir : "/tmp") + "/" + FileNameFor(name);
  // Processes of different users share the file: create it world-writable
  // (the umask would narrow it) and never follow a planted symlink.
  m_Fd = ::open(m_Path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (m_Fd < 0) {
    m_Errno = errno;
    return;
  }
  struct stat st;
  if (fstat(m_Fd, &st) == 0 && st.st_uid == geteuid() && (st.st_mode & 0777) != 0666) fchmod(m_Fd, 0666);
}

OxNamedMutex::~OxNamedMutex() {
  if (m_Fd >= 0) ::close(m_Fd);
}

void OxNamedMutex::lock() {
  std::thread::id self = std::this_thread::get_id();
  if (m_Owner.load() == self) {
    ++m_Depth;
    return;
  }
  if (m_Fd >= 0) {
    while (flock(m_Fd, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  m_Owner.store(self);
  m_Depth = 1;
}

void OxNamedMutex::unlock() {
  if (m_Owner.load() != std::this_thread::get_id() || m_Depth == 0) return;
  if (--m_Depth > 0) return;
  m_Owner.store(std::thread::id());
  if (m_Fd >= 0) flock(m_Fd, LOCK_UN);
}
