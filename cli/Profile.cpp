#include "cli/Profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace celcli {

namespace {

std::string Trim(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos) return std::string();
  size_t end = text.find_last_not_of(" \t\r");
  return text.substr(start, end - start + 1);
}

bool IsComment(const std::string& trimmed) { return trimmed.empty() || trimmed[0] == '#' || trimmed[0] == ';'; }

// The section name of a "[name]" line, or empty.
std::string SectionName(const std::string& trimmed) {
  if (trimmed.size() < 3 || trimmed.front() != '[' || trimmed.back() != ']') return std::string();
  return Trim(trimmed.substr(1, trimmed.size() - 2));
}

bool SplitValue(const std::string& trimmed, std::string& key, std::string& value) {
  size_t eq = trimmed.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(trimmed.substr(0, eq));
  value = Trim(trimmed.substr(eq + 1));
  return !key.empty();
}

bool MakeDirectories(const std::string& dir) {
  if (dir.empty()) return true;
  struct stat st;
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeDirectories(dir.substr(0, slash))) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

bool CheckFileAccess(const std::string& what, const std::string& path, const struct stat& st, FileUse use,
                     std::string& error) {
  uid_t me = geteuid();
  if (st.st_uid != me && st.st_uid != 0) {
    error = "refusing the " + what + " " + path + ": it belongs to uid " + std::to_string(st.st_uid) +
            ", not to you (uid " + std::to_string(me) + ") or root; fix: chown " + std::to_string(me) + " " + path;
    return false;
  }
  mode_t writers = st.st_mode & 0022;
  mode_t readers = use != FileUse::Secret ? 0 : st.st_mode & (st.st_uid == 0 && me != 0 ? 0004 : 0044);
  mode_t lax = writers ? writers : readers;
  if (lax == 0) return true;
  bool group = lax & 0070, others = lax & 0007;
  std::string who = group && others ? "its group and other users" : group ? "its group" : "other users";
  error = "refusing the " + what + " " + path + ": mode " + Octal(st.st_mode) + " lets " + who +
          (writers ? " change it" : " read it") + "; fix: chmod " + (use == FileUse::Public ? "go-w " : "600 ") + path;
  return false;
}

const std::vector<std::string>& ProfileFile::Keys() {
  static const std::vector<std::string> keys = {"host", "user", "password-file", "ca-bundle", "pin", "timeout"};
  return keys;
}

std::string ProfileFile::DefaultPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/celerractl/config";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/celerractl/config";
}

bool ProfileFile::Load(const std::string& path, std::string& error) {
  m_Path = path;
  m_Lines.clear();
  std::ifstream in(path);
  if (!in) {
    if (errno == ENOENT) return true;
    error = "cannot read the profile file " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  size_t number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string trimmed = Trim(line), key, value;
    if (!IsComment(trimmed) && SectionName(trimmed).empty() && !SplitValue(trimmed, key, value)) {
      error = path + ":" + std::to_string(number) + ": expected [profile], key = value or a # comment";
      return false;
    }
    m_Lines.push_back(line);
    if (m_Lines.size() > 10000) {
      error = path + ": too long for a profile file";
      return false;
    }
  }
  return true;
}

bool ProfileFile::Find(const std::string& name, size_t& first, size_t& last) const {
  for (size_t i = 0; i < m_Lines.size(); ++i) {
    if (SectionName(Trim(m_Lines[i])) != name) continue;
    first = i + 1;
    last = first;
    while (last < m_Lines.size() && SectionName(Trim(m_Lines[last])).empty()) ++last;
    return true;
  }
  return false;
}

bool ProfileFile::HasSection(const std::string& name) const {
  size_t first, last;
  return Find(name, first, last);
}

bool ProfileFile::Section(const std::string& name, std::map<std::string, std::string>& values,
                          std::string& error) const {
  size_t first, last;
  if (!Find(name, first, last)) {
    error = "no profile [" + name + "] in " + m_Path;
    return false;
  }
  for (size_t i = first; i < last; ++i) {
    std::string trimmed = Trim(m_Lines[i]), key, value;
    if (IsComment(trimmed) || !SplitValue(trimmed, key, value)) continue;
    if (std::find(Keys().begin(), Keys().end(), key) == Keys().end()) {
      error = m_Path + ": profile [" + name + "]: unknown key '" + key +
              "' (host, user, password-file, ca-bundle, pin, timeout)";
      return false;
    }
    values[key] = value;
  }
  return true;
}

void ProfileFile::Set(const std::string& name, const std::string& key, const std::string& value) {
  std::string line = key + " = " + value;
  size_t first, last;
  if (!Find(name, first, last)) {
    if (!m_Lines.empty() && !Trim(m_Lines.back()).empty()) m_Lines.push_back("");
    m_Lines.push_back("[" + name + "]");
    m_Lines.push_back(line);
    return;
  }
  size_t insertAt = first;
  for (size_t i = first; i < last; ++i) {
    std::string trimmed = Trim(m_Lines[i]), k, v;
    if (IsComment(trimmed)) continue;
    if (SplitValue(trimmed, k, v) && k == key) {
      m_Lines[i] = line;
      return;
    }
    insertAt = i + 1;
  }
  m_Lines.insert(m_Lines.begin() + static_cast<long>(insertAt), line);
}

bool ProfileFile::Save(std::string& error) const {
  size_t slash = m_Path.find_last_of('/');
  std::string dir = slash == std::string::npos ? std::string() : m_Path.substr(0, slash);
  if (!MakeDirectories(dir)) {
    error = "cannot make the directory " + dir + ": " + std::strerror(errno);
    return false;
  }
  std::string temp = m_Path + ".tmp." + std::to_string(getpid());
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = "cannot write " + temp + ": " + std::strerror(errno);
    return false;
  }
  std::string text;
  for (const auto& line : m_Lines) text += line + "\n";
  bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  int writeErrno = errno;
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (!ok || rename(temp.c_str(), m_Path.c_str()) != 0) {
    error = "cannot write " + m_Path + ": " + std::strerror(ok ? errno : writeErrno);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace celcli
