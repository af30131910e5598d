#include "platform/internal/PrivateFiles.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/OXPI_Base.h"

namespace celerra_platform {

namespace {

std::string Mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

// What is wrong with `st` as something private to this user, or empty.
std::string Unsafe(const std::string& path, const struct stat& st, bool directory) {
  uid_t self = geteuid();
  if (directory ? !S_ISDIR(st.st_mode) : !S_ISREG(st.st_mode))
    return path + " is not a " + (directory ? "directory" : "regular file");
  if (st.st_uid != self)
    return path + " is owned by uid " + std::to_string(st.st_uid) + ", not by this user (uid " + std::to_string(self) +
           ")";
  if (st.st_mode & 077)
    return path + " has mode " + Mode(st.st_mode) + "; group and others must have no access (" +
           (directory ? "0700" : "0600") + ")";
  if (!directory && st.st_nlink != 1) return path + " has " + std::to_string(st.st_nlink) + " links";
  return std::string();
}

}  // namespace

bool PrivateDirectory(std::string* path, std::string* error) {
  const char* temp = OXPI_Base().getOrvaneTempDirectory();
  std::string base = temp ? temp : "/tmp";
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::string dir = (base == "/" ? std::string() : base) + "/celerra-" + std::to_string(geteuid());
  struct stat st;
  if (stat(base.c_str(), &st) != 0) {
    *error = "temp directory " + base + ": " + std::strerror(errno);
    return false;
  }
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) && !(st.st_mode & S_ISVTX)) {
    *error = "temp directory " + base + " (mode " + Mode(st.st_mode) +
             ") lets others rename what is in it: no private directory there";
    return false;
  }
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    *error = "cannot create the private directory " + dir + ": " + std::strerror(errno);
    return false;
  }
  // lstat: a symbolic link in its place is refused, not followed.
  if (lstat(dir.c_str(), &st) != 0) {
    *error = "private directory " + dir + ": " + std::strerror(errno);
    return false;
  }
  std::string unsafe = Unsafe(dir, st, true);
  if (!unsafe.empty()) {
    *error = "private directory " + unsafe + "; refused";
    return false;
  }
  *path = dir;
  return true;
}

int OpenPrivateFile(const std::string& path, int flags, std::string* error) {
  int fd = ::open(path.c_str(), flags | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd < 0) {
    *error = errno == ELOOP ? path + " is a symbolic link; refused" : path + ": " + std::strerror(errno);
    return -1;
  }
  struct stat st;
  std::string unsafe = fstat(fd, &st) == 0 ? Unsafe(path, st, false) : path + ": " + std::strerror(errno);
  if (!unsafe.empty()) {
    ::close(fd);
    *error = unsafe + "; refused";
    return -1;
  }
  return fd;
}

}  // namespace celerra_platform
