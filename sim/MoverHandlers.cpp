// Mover, VDM, CIFS-server, mover-host and CIFS-configuration queries.
#include <string>
#include <vector>

#include "sim/Simulator.h"

namespace celsim {

namespace {

std::string Join(const std::vector<std::string>& items, char separator) {
  std::string out;
  for (const std::string& item : items) {
    if (!out.empty()) out += separator;
    out += item;
  }
  return out;
}

bool Wanted(const pugi::xml_node& aspects, const char* name) {
  return std::string(aspects.attribute(name).value()) == "true";
}

const Mover* FindPhysical(const Model& m, const std::string& id) {
  for (const Mover& mover : m.movers)
    if (!mover.isVdm && mover.id == id) return &mover;
  return nullptr;
}

const Mover* FindVdm(const Model& m, const std::string& id) {
  for (const Mover& mover : m.movers)
    if (mover.isVdm && mover.id == id) return &mover;
  return nullptr;
}

bool KnownMoverOrVdm(const Model& m, const std::string& id, bool vdm) {
  return vdm ? FindVdm(m, id) != nullptr : FindPhysical(m, id) != nullptr;
}

// One mover as the mover query describes it, limited to the aspects asked for.
std::string MoverXml(const Mover& mover, const pugi::xml_node& aspects) {
  std::string x;
  if (Wanted(aspects, "movers"))
    x += "<Mover" + A("mover", mover.id) + A("name", mover.name) + A("host", mover.id) + A("role", mover.role) +
         A("i18NMode", "UNICODE") + A("failoverPolicy", "auto") + A("standbys", "") + "/>\n";
  if (Wanted(aspects, "moverStatuses"))
    x += "<MoverStatus" + A("mover", mover.id) + A("version", "1.0.0") + A("uptime", "1209600") +
         A("state", "enabled") + "/>\n";
  if (Wanted(aspects, "moverDnsDomains"))
    for (const std::string& domain : mover.dnsDomains)
      x += "<MoverDnsDomain" + A("mover", mover.id) + A("name", domain) + A("servers", Join(mover.dnsServers, ' ')) +
           A("protocol", "udp") + "/>\n";
  if (Wanted(aspects, "moverInterfaces"))
    for (const Interface& itf : mover.interfaces)
      x += "<MoverInterface" + A("mover", mover.id) + A("name", itf.name) + A("device", itf.device) +
           A("ipAddress", itf.address) + A("netMask", "255.255.255.0") + A("mtu", "1500") + A("vlanid", "0") +
           A("up", "true") + "/>\n";
  if (Wanted(aspects, "moverNetworkDevices")) {
    // One device per name, in the order the interfaces name them, with all
    // of its addresses; then the devices without any address.
    std::vector<std::pair<std::string, std::vector<std::string>>> devices;
    for (const Interface& itf : mover.interfaces) {
      auto it = devices.begin();
      while (it != devices.end() && it->first != itf.device) ++it;
      if (it == devices.end()) it = devices.insert(devices.end(), {itf.device, {}});
      it->second.push_back(itf.address);
    }
    for (const std::string& idle : mover.idleDevices) devices.push_back({idle, {}});
    for (const auto& device : devices) {
      bool data = device.first.compare(0, 3, "cge") == 0;
      x += "<LogicalNetworkDevice" + A("mover", mover.id) + A("name", device.first) +
           A("type", data ? "physical-ethernet" : "internal") + A("interfaces", Join(device.second, ' ')) +
           A("speed", "auto") + "/>\n";
    }
  }
  if (Wanted(aspects, "moverRoutes") && !mover.interfaces.empty())
    x += "<MoverRoute" + A("mover", mover.id) + A("destination", "0.0.0.0") + A("netMask", "0.0.0.0") +
         A("gateway", "192.0.2.1") + A("interface", mover.interfaces.front().address) + "/>\n";
  return x;
}

}  // namespace

void RegisterMoverHandlers(Registry& registry) {
  registry.Add("MoverQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    std::string only = r.body.attribute("mover").value();
    if (!only.empty() && !FindPhysical(m, only)) return Outcome::Error("13421842450", "Mover " + only + " not found");
    pugi::xml_node aspects = r.body.child("AspectSelection");
    std::string x;
    for (const Mover& mover : m.movers)
      if (!mover.isVdm && (only.empty() || mover.id == only)) x += MoverXml(mover, aspects);
    return Outcome::Ok(std::move(x));
  });

  registry.Add("VdmQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    std::string only = r.body.attribute("vdm").value();
    if (!only.empty() && !FindVdm(m, only)) return Outcome::Error("13421840385", "VDM " + only + " not found");
    std::string x;
    for (const Mover& vdm : m.movers) {
      if (!vdm.isVdm || (!only.empty() && vdm.id != only)) continue;
      x += "<Vdm" + A("vdm", vdm.id) + A("name", vdm.name) + A("mover", vdm.hostMoverId) + A("rootFileSystem", "") +
           A("state", "loaded") + ">\n<Interfaces/>\n</Vdm>\n";
    }
    return Outcome::Ok(std::move(x));
  });

  registry.Add("CifsServerQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    std::string only = r.body.child("MoverOrVdm").attribute("mover").value();
    if (!only.empty() && !m.FindMover(only))
      return Outcome::Error("13421842450", "Mover or VDM " + only + " not found");
    std::string x;
    for (const CifsServer& cs : m.cifsServers) {
      if (!only.empty() && cs.moverId != only) continue;
      x += "<CifsServer" + A("mover", cs.moverId) + A("moverIdIsVdm", cs.moverIsVdm ? "true" : "false") +
           A("name", cs.name) + A("type", "W2K") + A("localUsers", "false") +
           A("interfaces", Join(cs.interfaces, ',')) + A("domain", cs.domain) + A("domainJoined", "true") + ">\n";
      // Aliases travel as child elements the library passes over.
      if (!cs.aliases.empty()) {
        x += "<Aliases>";
        for (const std::string& alias : cs.aliases) x += "<li>" + Esc(alias) + "</li>";
        x += "</Aliases>\n";
      }
      x += "</CifsServer>\n";
    }
    return Outcome::Ok(std::move(x));
  });

  registry.Add("CifsConfigQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    pugi::xml_node target = r.body.child("MoverOrVdm");
    std::string id = target.attribute("mover").value();
    bool vdm = std::string(target.attribute("moverIdIsVdm").value()) == "true";
    if (id.empty() || !KnownMoverOrVdm(m, id, vdm))
      return Outcome::Error("13421842450", "Mover or VDM [" + id + "] not found");
    return Outcome::Ok("<CifsConfig" + A("mover", id) + A("moverIdIsVdm", vdm ? "true" : "false") +
                       A("security", "NT") + A("unixCharset", "UTF-8") + A("wins", "") + "/>\n");
  });

  registry.Add("MoverHostQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    pugi::xml_node aspects = r.body.child("AspectSelection");
    std::string x;
    int slot = 2;
    for (const Mover& mover : m.movers) {
      if (mover.isVdm) continue;
      if (Wanted(aspects, "moverHosts"))
        x += "<MoverHost" + A("moverHost", mover.id) + A("name", mover.name) + A("slot", std::to_string(slot)) +
             A("status", "ok") + "/>\n";
      if (Wanted(aspects, "moverMotherboards"))
        x += "<MoverMotherboard" + A("moverHost", mover.id) + A("type", "board-2") + A("memorySize", "4096") +
             A("cpuSpeed", "2800") + "/>\n";
      if (Wanted(aspects, "physicalDevices"))
        for (const Interface& itf : mover.interfaces)
          x += "<PhysicalDevice" + A("moverHost", mover.id) + A("name", itf.device) + A("type", "ethernet") + "/>\n";
      if (Wanted(aspects, "fibreChannelConnections"))
        x += "<FibreChannelConnection" + A("moverHost", mover.id) + A("port", "0") + A("state", "online") + "/>\n";
      ++slot;
    }
    return Outcome::Ok(std::move(x));
  });
}

}  // namespace celsim
