// CIFS shares: the share query (one name or all), the new-share task and
// the delete-share task. A share lies on a physical data mover or a VDM and
// is offered through CIFS servers of that same mover or VDM.
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
const char kUnknownServer[] = "13690601495";

std::string Bool(bool value) { return value ? "true" : "false"; }

std::string ShareXml(const CifsShare& s) {
  std::string xml = "    <CifsShare" + A("name", s.name) + A("path", s.path) + A("fileSystem", s.fsId) +
                    A("mover", s.moverId) + A("moverIdIsVdm", Bool(s.moverIsVdm)) + A("umask", "022") + ">";
  if (s.servers.empty()) return xml + "<CifsServers/></CifsShare>\n";
  xml += "<CifsServers>";
  for (const std::string& server : s.servers) xml += "<li>" + Esc(server) + "</li>";
  return xml + "</CifsServers></CifsShare>\n";
}

std::vector<std::string> Servers(const pugi::xml_node& parent) {
  std::vector<std::string> servers;
  for (pugi::xml_node li : parent.child("CifsServers").children("li")) servers.push_back(li.child_value());
  return servers;
}

// The mover or VDM a share request names, checked against the flag the
// request gives for it.
Outcome CheckMover(Model& m, const std::string& id, bool isVdm) {
  Mover* mover = m.FindMover(id);
  if (!mover) return Outcome::Error(kUnknownMover, (isVdm ? "VDM [" : "Data mover [") + id + "] does not exist");
  if (mover->isVdm != isVdm)
    return Outcome::Error(kUnknownMover, "[" + id + "] is " + (mover->isVdm ? "a VDM" : "not a VDM"));
  return Outcome::Ok();
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

// The file system a share path on `mover` lies in: the mount with the
// longest path that is the share path or one of its parent directories.
std::string FileSystemAt(Model& m, const std::string& path, const std::string& mover) {
  const Mount* best = nullptr;
  for (const Mount& mount : m.mounts) {
    if (mount.moverId != mover) continue;
    bool covers =
        path == mount.path || (path.size() > mount.path.size() && path.compare(0, mount.path.size(), mount.path) == 0 &&
                               path[mount.path.size()] == '/');
    if (covers && (!best || mount.path.size() > best->path.size())) best = &mount;
  }
  if (best) return best->fsId;
  // A checkpoint is reachable under its own name without a mount.
  if (path.size() > 1 && path.find('/', 1) == std::string::npos) {
    FileSystem* fs = m.FindFsByName(path.substr(1));
    if (fs && ServingMover(m, *fs) == mover) return fs->id;
  }
  return std::string();
}

// The servers named must be CIFS servers of the mover; none named means all
// of them.
Outcome ResolveServers(Model& m, const std::string& mover, std::vector<std::string>& servers) {
  if (servers.empty()) {
    for (const CifsServer& s : m.cifsServers)
      if (s.moverId == mover) servers.push_back(s.name);
    if (servers.empty()) return Outcome::Error(kUnknownServer, "Mover [" + mover + "] has no CIFS server");
    return Outcome::Ok();
  }
  for (const std::string& name : servers) {
    bool known = std::any_of(m.cifsServers.begin(), m.cifsServers.end(),
                             [&](const CifsServer& s) { return s.name == name && s.moverId == mover; });
    if (!known) return Outcome::Error(kUnknownServer, "CIFS server [" + name + "] does not exist on [" + mover + "]");
  }
  return Outcome::Ok();
}

}  // namespace

void RegisterCifsHandlers(Registry& registry) {
  registry.Add("CifsShareQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    pugi::xml_attribute name = r.body.attribute("name");
    pugi::xml_attribute mover = r.body.attribute("mover");
    std::string body;
    for (const CifsShare& s : m.shares) {
      if (name && s.name != name.value()) continue;
      if (mover && s.moverId != mover.value()) continue;
      body += ShareXml(s);
    }
    return Outcome::Ok(std::move(body));
  });

  registry.Add("NewCifsShare", [](Model& m, const SimRequest& r) -> Outcome {
    CifsShare share;
    share.name = r.body.attribute("name").value();
    share.path = r.body.attribute("path").value();
    pugi::xml_node where = r.body.child("MoverOrVdm");
    share.moverId = where.attribute("mover").value();
    share.moverIsVdm = std::string(where.attribute("moverIdIsVdm").value()) == "true";
    share.servers = Servers(r.body);
    if (share.name.empty()) return Outcome::Error(kBadArgument, "A share needs a name");
    Outcome mover = CheckMover(m, share.moverId, share.moverIsVdm);
    if (mover.failed()) return mover;
    for (const CifsShare& s : m.shares)
      if (s.name == share.name && s.moverId == share.moverId)
        return Outcome::Error(kAlreadyExists, "CIFS share [" + share.name + "] already exists");
    share.fsId = FileSystemAt(m, share.path, share.moverId);
    if (share.fsId.empty())
      return Outcome::Error(kNoFileSystem,
                            "No file system is mounted at [" + share.path + "] on [" + share.moverId + "]");
    Outcome servers = ResolveServers(m, share.moverId, share.servers);
    if (servers.failed()) return servers;
    m.shares.push_back(std::move(share));
    return Outcome::Ok();
  });

  registry.Add("DeleteCifsShare", [](Model& m, const SimRequest& r) -> Outcome {
    std::string name = r.body.attribute("name").value();
    std::string moverId = r.body.attribute("mover").value();
    bool isVdm = std::string(r.body.attribute("moverIdIsVdm").value()) == "true";
    std::vector<std::string> servers = Servers(r.body);
    Outcome mover = CheckMover(m, moverId, isVdm);
    if (mover.failed()) return mover;
    auto it = std::find_if(m.shares.begin(), m.shares.end(),
                           [&](const CifsShare& s) { return s.name == name && s.moverId == moverId; });
    if (it == m.shares.end())
      return Outcome::Error(kDoesNotExist, "CIFS share [" + name + "] does not exist on [" + moverId + "]");
    if (!servers.empty()) {
      Outcome known = ResolveServers(m, moverId, servers);
      if (known.failed()) return known;
      // Withdrawn from the servers named; gone once no server offers it.
      for (const std::string& s : servers)
        it->servers.erase(std::remove(it->servers.begin(), it->servers.end(), s), it->servers.end());
      if (!it->servers.empty()) return Outcome::Ok();
    }
    m.shares.erase(it);
    return Outcome::Ok();
  });
}

}  // namespace celsim
