// celerractl's profile file, $XDG_CONFIG_HOME/celerractl/config (or
// ~/.config/celerractl/config): one section per control station,
//
//   [prod]
//   host = cs0.example.net
//   user = nasadmin
//   password-file = /home/me/.config/celerractl/prod.password
//   pin = sha256//...            (or ca-bundle = /path/to/ca.pem)
//   timeout = 120
//
// chosen with --profile NAME; without it the section [default] applies when
// there is one. Lines starting with # or ; are comments. Saving keeps the
// other sections, comments and order, and writes the file privately.
#pragma once

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

namespace celcli {

// What a file that celerractl reads is for, and so who else may touch it.
enum class FileUse {
  Secret,    // a password file: nobody else may read or write it (chmod 600)
  Settings,  // the profile, which says where the password goes: nobody else may write it (chmod 600)
  Public,    // a CA bundle or pin file: public text that nobody else may change (chmod go-w)
};

// As ssh does with its keys and libpq with its password file: true when the
// file that `st` describes belongs to the caller or to root and its mode
// keeps others out as `use` requires. A secret owned by root may be
// readable by its group when the caller is not root (a system-wide file
// handed to a service through its group). Otherwise false, with `error`
// naming the file, its owner or mode, and the fix.
bool CheckFileAccess(const std::string& what, const std::string& path, const struct stat& st, FileUse use,
                     std::string& error);

class ProfileFile {
 public:
  // The keys a section may hold.
  static const std::vector<std::string>& Keys();
  // The file's default place.
  static std::string DefaultPath();

  // Reads `path`; a missing file is an empty one. False with `error` saying
  // where the file is wrong.
  bool Load(const std::string& path, std::string& error);
  const std::string& path() const { return m_Path; }

  bool HasSection(const std::string& name) const;
  // The section's values; false with `error` for an unknown key.
  bool Section(const std::string& name, std::map<std::string, std::string>& values, std::string& error) const;
  // Sets `key` in section `name`, adding the line or the section.
  void Set(const std::string& name, const std::string& key, const std::string& value);
  // Writes the file (mode 0600, its directory 0700 when made) through a
  // temporary file and a rename, so a reader never sees half of it.
  bool Save(std::string& error) const;

 private:
  // [first, last) line indexes of the section's body; false when missing.
  bool Find(const std::string& name, size_t& first, size_t& last) const;

  std::string m_Path;
  std::vector<std::string> m_Lines;
};

}  // namespace celcli
