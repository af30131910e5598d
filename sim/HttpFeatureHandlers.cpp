// Placeholder: this message group's handlers are not built yet.
#include "sim/Simulator.h"

namespace celsim {

void RegisterHttpFeatureHandlers(Registry& registry) { (void)registry; }

}  // namespace celsim
