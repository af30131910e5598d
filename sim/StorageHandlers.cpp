// Storage pool and iSCSI LUN queries.
#include <string>

#include "sim/Simulator.h"

namespace celsim {

void RegisterStorageHandlers(Registry& registry) {
  registry.Add("StoragePoolQueryParams", [](Model& m, const SimRequest&) -> Outcome {
    std::string x;
    for (const StoragePool& pool : m.pools) {
      std::string movers;
      for (const std::string& mover : pool.movers) movers += (movers.empty() ? "" : " ") + mover;
      x += "<StoragePool" + A("pool", pool.id) + A("name", pool.name) + A("description", pool.description) +
           A("size", std::to_string(pool.size)) + A("usedSize", std::to_string(pool.usedSize)) +
           A("autoSize", std::to_string(pool.size)) + A("movers", movers) + A("mayContainSlices", "true") +
           ">\n<SystemStoragePoolData" + A("dynamic", "true") + "/>\n</StoragePool>\n";
    }
    return Outcome::Ok(std::move(x));
  });

  registry.Add("IscsiLunQueryParams", [](Model& m, const SimRequest&) -> Outcome {
    std::string x;
    for (const Lun& lun : m.luns) {
      // The LUN's name is the last part of its path.
      std::string name = lun.path.substr(lun.path.find_last_of('/') + 1);
      x += "<IscsiLun" + A("lun", lun.id) + A("name", name) + A("target", lun.target) +
           A("size", std::to_string(lun.size)) + A("fileSystem", lun.fsId) + A("mover", lun.moverId) +
           A("path", lun.path) + "/>\n";
    }
    return Outcome::Ok(std::move(x));
  });
}

}  // namespace celsim
