#include "platform/OXPI_Base.h"

#include <cstdlib>

const char* OXPI_Base::getOrvaneTempDirectory() const {
  const char* dir = std::getenv("CELERRA_TEMP_DIR");
  return dir && *dir ? dir : nullptr;
}
