// The simulator's dataset as a JSON file: what `celerra-sim --data FILE`
// loads and `--dump-data` writes. Missing fields keep their defaults. Beside
// the model the file may list faults to inject ("faults": an array of
// objects with the fields of sim/Faults.h).
#pragma once

#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/Model.h"

namespace celsim {

// False with `error` naming the file and what is wrong: unreadable, not
// JSON, a field of the wrong type, a text no reply could carry (see
// IsXmlText), or a fault that does not parse.
bool LoadDataFile(const std::string& path, Model& model, std::vector<Fault>& faults, std::string& error);
bool LoadModel(const std::string& path, Model& model, std::string& error);
std::string DumpModel(const Model& model);

}  // namespace celsim
