// Files that belong to one user on a machine that other users share: the
// per-user directory under the temp directory, and files opened there (or
// wherever a caller names them) so that nothing another user planted, linked
// or loosened is ever written to.
//
// The temp directory is usually /tmp, where every user may create names. A
// trace, lock or log file that another user created first would be appended
// to as it is (and read by its owner), a symbolic link would send our writes
// elsewhere, and on kernels that protect files in sticky directories a file
// created by another user cannot even be opened. Everything the library keeps
// on disk therefore lives in a directory that only its user can enter.
#pragma once

#include <string>

namespace celerra_platform {

// The directory "<temp>/celerra-<uid>" for the effective user, created mode
// 0700 when absent. False, with the reason in *error, when it cannot be made
// or when what is there is not a directory of this user with no access for
// group or others (it is never repaired: whoever loosened or planted it may
// have left files inside). <temp> is the platform's temp directory
// (CELERRA_TEMP_DIR) or /tmp; a <temp> that others may write to without the
// sticky bit is refused, since they could swap the directory under us.
bool PrivateDirectory(std::string* path, std::string* error);

// Opens `path` with `flags` (O_WRONLY|O_APPEND or O_RDWR), creating it mode
// 0600 when absent, without following a symbolic link in its last component.
// Returns the descriptor, or -1 with the reason in *error when the file cannot
// be opened or is not a regular file of this user with a single link and no
// access for group or others.
int OpenPrivateFile(const std::string& path, int flags, std::string* error);

}  // namespace celerra_platform
