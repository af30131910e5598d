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
                                                storagePools, volumeSize, spaceTotal, spaceUsed, filesTotal, filesUsed,
                                                mounted, isCheckpoint, checkpointOf, baselineId, writeable, time,
                                                savVolId, policies)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Mount, path, fsId, moverId, moverIsVdm, readOnly)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(NfsExport, path, fsId, moverId, readOnly, accessHosts, rwHosts,
                                                rootHosts)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(CifsShare, name, path, fsId, moverId, moverIsVdm, servers)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(CifsServer, name, moverId, moverIsVdm, domain, interfaces, aliases)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(StoragePool, id, name, size, usedSize, movers, description)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Lun, id, target, fsId, moverId, size, path)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(DhsmConnection, id, fsId, kind, server, share, user, localServer, state,
                                                readPolicyOverride, writePolicy, vendorId, winsServer, port, cgi)
NLOHMANN_DEFINE_TYPE_NON_INTRUSIVE_WITH_DEFAULT(Model, movers, fileSystems, mounts, exports, shares, cifsServers, pools,
                                                luns, dhsmConnections, dhsmOfflineAttr, deletedIds, nextId, nextTaskId)

namespace {

// The first string in `value` that no reply could carry, as a JSON pointer.
bool FindBadText(const nlohmann::json& value, const std::string& where, std::string& bad) {
  if (value.is_string()) {
    if (IsXmlText(value.get_ref<const std::string&>())) return false;
    bad = where.empty() ? "/" : where;
    return true;
  }
  if (value.is_object()) {
    for (auto it = value.begin(); it != value.end(); ++it) {
      if (!IsXmlText(it.key())) {
        bad = where + "/(a key)";
        return true;
      }
      if (FindBadText(it.value(), where + "/" + it.key(), bad)) return true;
    }
  } else if (value.is_array()) {
    for (size_t i = 0; i < value.size(); ++i)
      if (FindBadText(value[i], where + "/" + std::to_string(i), bad)) return true;
  }
  return false;
}

bool FaultsFromJson(const nlohmann::json& list, std::vector<Fault>& faults, std::string& error) {
  if (!list.is_array()) {
    error = "\"faults\" must be an array of objects";
    return false;
  }
  for (size_t i = 0; i < list.size(); ++i) {
    const nlohmann::json& item = list[i];
    std::map<std::string, std::string> fields;
    bool ok = item.is_object();
    for (auto it = item.begin(); ok && it != item.end(); ++it) {
      if (it->is_string())
        fields[it.key()] = it->get<std::string>();
      else if (it->is_number_unsigned())
        fields[it.key()] = std::to_string(it->get<unsigned long long>());
      else
        ok = false;
    }
    Fault fault;
    std::string why = "each field must be a text or a number from 0";
    if (!ok || !FaultFromFields(fields, fault, why)) {
      error = "faults/" + std::to_string(i) + ": " + why;
      return false;
    }
    faults.push_back(fault);
  }
  return true;
}

}  // namespace

bool LoadDataFile(const std::string& path, Model& model, std::vector<Fault>& faults, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  try {
    nlohmann::json data = nlohmann::json::parse(in);
    std::string bad;
    if (FindBadText(data, "", bad)) {
      error = path + ": " + bad + " is not UTF-8 text without control characters";
      return false;
    }
    Model loaded = data.get<Model>();
    std::vector<Fault> listed;
    if (data.is_object() && data.contains("faults") && !FaultsFromJson(data["faults"], listed, error)) {
      error = path + ": " + error;
      return false;
    }
    model = std::move(loaded);
    faults.insert(faults.end(), listed.begin(), listed.end());
    return true;
  } catch (const std::exception& e) {
    error = path + ": " + e.what();
    return false;
  }
}

bool LoadModel(const std::string& path, Model& model, std::string& error) {
  std::vector<Fault> ignored;
  return LoadDataFile(path, model, ignored, error);
}

std::string DumpModel(const Model& model) { return nlohmann::json(model).dump(2); }

}  // namespace celsim
