#include "sim/DataFile.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

namespace celsim {

NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Interface, name, device, address)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Mover, id, name, isVdm, hostMoverId, role, dnsDomains, interfaces,
                                                httpValidHosts, httpUsers, httpAnyUser, httpPort, httpServiceState,
                                                httpAuthentication, dnsServers, idleDevices)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(FileSystem, id, name, type, moverId, moverIsVdm, poolId, volumeId,
                                                storagePools, volumeSize, spaceTotal, spaceUsed, filesTotal,
                                                filesUsed, mounted, isCheckpoint, checkpointOf, baselineId,
                                                writeable, time, savVolId, policies)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Mount, path, fsId, moverId, moverIsVdm, readOnly)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(NfsExport, path, fsId, moverId, readOnly, accessHosts, rwHosts,
                                                rootHosts)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(CifsShare, name, path, fsId, moverId, moverIsVdm, servers)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(CifsServer, name, moverId, moverIsVdm, domain, interfaces, aliases)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(StoragePool, id, name, size, usedSize, movers, description)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Lun, id, target, fsId, moverId, size, path)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(DhsmConnection, id, fsId, kind, server, share, user, localServer,
                                                state, readPolicyOverride, writePolicy, vendorId, winsServer, port,
                                                cgi)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Model, movers, fileSystems, mounts, exports, shares, cifsServers,
                                                pools, luns, dhsmConnections, dhsmOfflineAttr, deletedIds, nextId,
                                                nextTaskId)

bool LoadModel(const std::string& path, Model& model, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  try {
    nlohmann::json data = nlohmann::json::parse(in);
    model = data.get<Model>();
    return true;
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
    return false;
  }
}

std::string DumpModel(const Model& model) { return nlohmann::json(model).dump(2); }

}  // namespace celsim
