// What the file-system and checkpoint handlers share.
#pragma once

#include <string>

#include "sim/Model.h"

namespace celsim {

// The checkpoint save volume of a production file system (generated file
// systems have none recorded; they get a stable id of their own).
std::string SaveVolumeOf(const FileSystem& fs);
// The code of the warning for an id or name the server does not know.
std::string FileSystemNotFoundCode();

}  // namespace celsim
