// NFS exports: the export query (one path or all), the new-export task and
// the delete-export task. Exports live on physical data movers; an export
// path names a mounted file system (or checkpoint) of that mover or of a VDM
// it hosts, or a directory below one.
#include <algorithm>

#include "messages/ServerCodes.h"
#include "sim/Simulator.h"

namespace celsim {

namespace {

using celerra_codes::kAlreadyExists;
using celerra_codes::kDoesNotExist;
const char kUnknownMover[] = "13690601492";
const char kNoFileSystem[] = "13690601493";
const char kBadArgument[] = "13690601494";

std::string Bool(bool value) { return value ? "true" : "false"; }

// The host names of one list element (`<AccessHosts><li>h</li>...`).
std::vector<std::string> Hosts(const pugi::xml_node& parent, const char* element) {
  std::vector<std::string> hosts;
  for (pugi::xml_node li : parent.child(element).children("li")) hosts.push_back(li.child_value());
  return hosts;
}

std::string HostsXml(const char* element, const std::vector<std::string>& hosts) {
  if (hosts.empty()) return std::string();
  std::string xml = std::string("<") + element + ">";
  for (const std::string& h : hosts) xml += "<li>" + Esc(h) + "</li>";
  return xml + "</" + element + ">";
}

// An export as the server lists it: its own attributes, then the host lists
// as child elements.
std::string ExportXml(const NfsExport& e) {
  return "    <NfsExport" + A("mover", e.moverId) + A("path", e.path) + A("fileSystem", e.fsId) +
         A("readOnly", Bool(e.readOnly)) + A("anonUser", "0") + ">" + HostsXml("AccessHosts", e.accessHosts) +
         HostsXml("RwHosts", e.rwHosts) + HostsXml("RootHosts", e.rootHosts) + "</NfsExport>\n";
}

bool ServedBy(Model& m, const std::string& servingMover, const std::string& physicalMover) {
  if (servingMover == physicalMover) return true;
  Mover* vdm = m.FindMover(servingMover);
  return vdm && vdm->isVdm && vdm->hostMoverId == physicalMover;
}

// The mover or VDM that serves a file system; a checkpoint recorded
// without one is served where its production file system is.
std::string ServingMover(Model& m, const FileSystem& fs) {
  if (fs.moverId.empty() && fs.isCheckpoint) {
    FileSystem* production = m.FindFs(fs.checkpointOf);
    if (production) return production->moverId;
  }
  return fs.moverId;
}

// The file system an export path on `mover` names: the mount with the
// longest path that is the export path or one of its parent directories;
// failing that, a file system or checkpoint of that name served by the
// mover (checkpoints are reachable without a mount of their own).
std::string FileSystemAt(Model& m, const std::string& path, const std::string& mover) {
  const Mount* best = nullptr;
  for (const Mount& mount : m.mounts) {
    if (!ServedBy(m, mount.moverId, mover)) continue;
    bool covers =
        path == mount.path || (path.size() > mount.path.size() && path.compare(0, mount.path.size(), mount.path) == 0 &&
                               path[mount.path.size()] == '/');
    if (covers && (!best || mount.path.size() > best->path.size())) best = &mount;
  }
  if (best) return best->fsId;
  if (path.size() > 1 && path.find('/', 1) == std::string::npos) {
    FileSystem* fs = m.FindFsByName(path.substr(1));
    if (fs && ServedBy(m, ServingMover(m, *fs), mover)) return fs->id;
  }
  return std::string();
}

// The mover an export request names, or the reason it can't be used.
Outcome CheckMover(Model& m, const std::string& id) {
  Mover* mover = m.FindMover(id);
  if (!mover) return Outcome::Error(kUnknownMover, "Data mover [" + id + "] does not exist");
  if (mover->isVdm)
    return Outcome::Error(kUnknownMover,
                          "[" + id + "] is a virtual data mover; NFS exports are made on its data mover");
  return Outcome::Ok();
}

}  // namespace

void RegisterNfsHandlers(Registry& registry) {
  registry.Add("NfsExportQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    pugi::xml_attribute path = r.body.attribute("path");
    pugi::xml_attribute mover = r.body.attribute("mover");
    std::string body;
    for (const NfsExport& e : m.exports) {
      if (path && e.path != path.value()) continue;
      if (mover && e.moverId != mover.value()) continue;
      body += ExportXml(e);
    }
    return Outcome::Ok(std::move(body));
  });

  registry.Add("NewNfsExport", [](Model& m, const SimRequest& r) -> Outcome {
    std::string moverId = r.body.attribute("mover").value();
    std::string path = r.body.attribute("path").value();
    Outcome mover = CheckMover(m, moverId);
    if (mover.failed()) return mover;
    if (path.empty() || path[0] != '/' || path.compare(0, 2, "//") == 0)
      return Outcome::Error(kBadArgument, "Export path [" + path + "] is not an absolute path");
    for (const NfsExport& e : m.exports)
      if (e.path == path && e.moverId == moverId)
        return Outcome::Error(kAlreadyExists, "Export of [" + path + "] on mover [" + moverId + "] already exists");
    std::string fsId = FileSystemAt(m, path, moverId);
    if (fsId.empty())
      return Outcome::Error(kNoFileSystem, "No file system is mounted at [" + path + "] on mover [" + moverId + "]");
    NfsExport e;
    e.path = path;
    e.fsId = fsId;
    e.moverId = moverId;
    e.readOnly = std::string(r.body.attribute("readOnly").value()) == "true";
    e.accessHosts = Hosts(r.body, "AccessHosts");
    e.rwHosts = Hosts(r.body, "RwHosts");
    e.rootHosts = Hosts(r.body, "RootHosts");
    m.exports.push_back(std::move(e));
    return Outcome::Ok();
  });

  registry.Add("DeleteNfsExport", [](Model& m, const SimRequest& r) -> Outcome {
    std::string moverId = r.body.attribute("mover").value();
    std::string path = r.body.attribute("path").value();
    Outcome mover = CheckMover(m, moverId);
    if (mover.failed()) return mover;
    auto it = std::find_if(m.exports.begin(), m.exports.end(),
                           [&](const NfsExport& e) { return e.path == path && e.moverId == moverId; });
    if (it == m.exports.end())
      return Outcome::Error(kDoesNotExist, "Export of [" + path + "] on mover [" + moverId + "] does not exist");
    m.exports.erase(it);
    return Outcome::Ok();
  });
}

}  // namespace celsim
