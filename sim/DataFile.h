// The simulator's dataset as a JSON file: what `celerra-sim --data FILE`
// loads and `--dump-data` writes. Missing fields keep their defaults.
#pragma once

#include <string>

#include "sim/Model.h"

namespace celsim {

bool LoadModel(const std::string& path, Model& model, std::string& error);
std::string DumpModel(const Model& model);

}  // namespace celsim
