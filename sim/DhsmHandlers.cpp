// DHSM on the simulated control station: the connections of each file
// system to secondary storage (CIFS and HTTP kinds), their new, modify and
// delete tasks, and the file system's own DHSM settings (offline attribute).
// Passwords are checked for presence only and never stored or echoed.
#include <algorithm>
#include <cctype>

#include "sim/Simulator.h"

namespace celsim {

namespace {

const char kNotFound[] = "13690601492";
const char kBadValue[] = "13690601493";
const char kExists[] = "13690601494";

std::string Get(const pugi::xml_node& node, const char* name) { return node.attribute(name).value(); }

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The CIFS server a connection uses on the file server's side: by name,
// alias or interface address.
bool KnownCifsServer(const Model& m, const std::string& name) {
  for (const CifsServer& s : m.cifsServers) {
    if (SameName(s.name, name)) return true;
    for (const std::string& alias : s.aliases)
      if (SameName(alias, name)) return true;
    for (const std::string& address : s.interfaces)
      if (address == name) return true;
  }
  return false;
}

// A production file system that can hold stubs; else the refusal.
bool UsableFs(Model& m, const std::string& fsId, Outcome* refusal) {
  FileSystem* fs = m.FindFs(fsId);
  if (!fs) {
    *refusal = Outcome::Error(kNotFound, "File system " + fsId + " does not exist");
    return false;
  }
  if (fs->isCheckpoint || !fs->mounted || fs->moverId.empty()) {
    *refusal = Outcome::Error(kBadValue, "File system " + fsId + " is not a mounted production file system");
    return false;
  }
  return true;
}

DhsmConnection* FindConnection(Model& m, const std::string& fsId, const std::string& id, const char* kind) {
  for (DhsmConnection& c : m.dhsmConnections)
    if (c.id == id && c.fsId == fsId && (!kind || c.kind == kind)) return &c;
  return nullptr;
}

std::string ConnectionXml(const DhsmConnection& c) {
  std::string x = "<DhsmConnectionConfig" + A("connection", c.id) + A("fileSystem", c.fsId) +
                  A("readPolicyOverride", c.readPolicyOverride) + A("setting", c.state) +
                  A("writePolicy", c.writePolicy) + ">\n";
  if (c.kind == "http") {
    x += "  <HttpData" + A("cgi", c.cgi ? "true" : "false") + ">\n";
    x += "    <SecondaryLocation" + A("host", c.server) + A("port", c.port) + A("path", c.share) + A("share", c.share) +
         "/>\n";
    x += "  </HttpData>\n";
  } else {
    x += "  <CifsData" + A("localServer", c.localServer) +
         (c.winsServer.empty() ? std::string() : A("winsServer", c.winsServer)) + ">\n";
    x += "    <SecondaryLocation" + A("hostFqn", c.server) + A("share", c.share) + "/>\n";
    x += "    <AdminInfo" + A("userName", c.user) + "/>\n";
    x += "  </CifsData>\n";
  }
  return x + "</DhsmConnectionConfig>\n";
}

Outcome QueryConnections(Model& m, const SimRequest& r) {
  std::string fsId = Get(r.body, "fileSystem");
  std::string id = Get(r.body, "connection");
  if (!fsId.empty() && !m.FindFs(fsId)) return Outcome::Error(kNotFound, "File system " + fsId + " does not exist");
  std::string body;
  bool any = false;
  for (const DhsmConnection& c : m.dhsmConnections) {
    if (!fsId.empty() && c.fsId != fsId) continue;
    if (!id.empty() && c.id != id) continue;
    body += ConnectionXml(c);
    any = true;
  }
  if (!id.empty() && !any) return Outcome::Error(kNotFound, "DHSM connection " + id + " does not exist");
  return Outcome::Ok(std::move(body));
}

Outcome NewCifsConnection(Model& m, const SimRequest& r) {
  std::string fsId = Get(r.body, "fileSystem");
  Outcome refusal;
  if (!UsableFs(m, fsId, &refusal)) return refusal;
  pugi::xml_node location = r.body.child("SecondaryLocation");
  pugi::xml_node admin = r.body.child("AdminInfo");
  std::string host = Get(location, "host");
  std::string share = Get(location, "share");
  std::string localServer = Get(r.body, "localServer");
  if (host.empty()) return Outcome::Error(kBadValue, "The secondary host is required");
  if (share.empty()) return Outcome::Error(kBadValue, "The secondary share is required");
  if (!KnownCifsServer(m, localServer))
    return Outcome::Error(kNotFound, "Local CIFS server '" + localServer + "' does not exist");
  if (Get(admin, "userName").empty())
    return Outcome::Error(kBadValue, "A user name for the secondary server is required");
  for (const DhsmConnection& c : m.dhsmConnections)
    if (c.fsId == fsId && c.kind == "cifs" && c.server == host && c.share == share)
      return Outcome::Error(kExists,
                            "File system " + fsId + " already has connection " + c.id + " to //" + host + "/" + share);
  DhsmConnection c;
  c.id = m.NewId();
  c.fsId = fsId;
  c.kind = "cifs";
  c.server = host;
  c.share = share;
  c.user = Get(admin, "userName");
  c.localServer = localServer;
  c.vendorId = Get(r.body, "vendorId");
  std::string policy = Get(r.body, "readPolicyOverride");
  if (!policy.empty()) c.readPolicyOverride = policy;
  m.dhsmConnections.push_back(c);
  return Outcome::Ok();
}

Outcome ModifyCifsConnection(Model& m, const SimRequest& r) {
  std::string fsId = Get(r.body, "fileSystem");
  std::string id = Get(r.body, "connection");
  DhsmConnection* c = FindConnection(m, fsId, id, "cifs");
  if (!c)
    return Outcome::Error(kNotFound, "CIFS DHSM connection " + id + " of file system " + fsId + " does not exist");
  std::string localServer = Get(r.body, "localServer");
  if (!localServer.empty()) {
    if (!KnownCifsServer(m, localServer))
      return Outcome::Error(kNotFound, "Local CIFS server '" + localServer + "' does not exist");
    c->localServer = localServer;
  }
  std::string host = Get(r.body, "secondaryHost");
  if (!host.empty()) c->server = host;
  std::string wins = Get(r.body, "winsServer");
  if (!wins.empty()) c->winsServer = wins;
  std::string policy = Get(r.body, "readPolicyOverride");
  if (!policy.empty()) c->readPolicyOverride = policy;
  std::string user = Get(r.body.child("AdminInfo"), "userName");
  if (!user.empty()) c->user = user;
  return Outcome::Ok();
}

Outcome NewHttpConnection(Model& m, const SimRequest& r) {
  std::string fsId = Get(r.body, "fileSystem");
  Outcome refusal;
  if (!UsableFs(m, fsId, &refusal)) return refusal;
  pugi::xml_node location = r.body.child("SecondaryLocation");
  std::string host = Get(location, "host");
  if (host.empty()) return Outcome::Error(kBadValue, "The secondary host is required");
  std::string cgi = Get(r.body, "cgi");
  if (!cgi.empty() && cgi != "true" && cgi != "false")
    return Outcome::Error(kBadValue, "cgi must be true or false, not '" + cgi + "'");
  DhsmConnection c;
  c.id = m.NewId();
  c.fsId = fsId;
  c.kind = "http";
  c.server = host;
  c.share = Get(location, "path");
  c.port = Get(location, "port");
  c.cgi = cgi == "true";
  c.vendorId = Get(r.body, "vendorId");
  m.dhsmConnections.push_back(c);
  return Outcome::Ok();
}

Outcome ModifyHttpConnection(Model& m, const SimRequest& r) {
  std::string fsId = Get(r.body, "fileSystem");
  std::string id = Get(r.body, "connection");
  DhsmConnection* c = FindConnection(m, fsId, id, "http");
  if (!c)
    return Outcome::Error(kNotFound, "HTTP DHSM connection " + id + " of file system " + fsId + " does not exist");
  std::string setting = Get(r.body, "setting");
  if (!setting.empty()) c->state = setting;
  std::string policy = Get(r.body, "readPolicyOverride");
  if (!policy.empty()) c->readPolicyOverride = policy;
  return Outcome::Ok();
}

Outcome DeleteConnection(Model& m, const SimRequest& r) {
  std::string fsId = Get(r.body, "fileSystem");
  std::string id = Get(r.body, "connection");
  auto it = std::find_if(m.dhsmConnections.begin(), m.dhsmConnections.end(),
                         [&](const DhsmConnection& c) { return c.id == id && c.fsId == fsId; });
  if (it == m.dhsmConnections.end())
    return Outcome::Error(kNotFound, "DHSM connection " + id + " of file system " + fsId + " does not exist");
  m.dhsmConnections.erase(it);
  return Outcome::Ok();
}

Outcome ModifyFileSystemDhsm(Model& m, const SimRequest& r) {
  std::string fsId = Get(r.body, "fileSystem");
  Outcome refusal;
  if (!UsableFs(m, fsId, &refusal)) return refusal;
  std::string offline = Get(r.body, "offlineAttr");
  if (!offline.empty() && offline != "true" && offline != "false")
    return Outcome::Error(kBadValue, "offlineAttr must be true or false, not '" + offline + "'");
  if (!offline.empty()) m.dhsmOfflineAttr[fsId] = offline;
  return Outcome::Ok();
}

}  // namespace

void RegisterDhsmHandlers(Registry& registry) {
  registry.Add("DhsmConnectionQueryParams", QueryConnections);
  registry.Add("NewCifsDhsmConnection", NewCifsConnection);
  registry.Add("ModifyCifsDhsmConnection", ModifyCifsConnection);
  registry.Add("NewHttpDhsmConnection", NewHttpConnection);
  registry.Add("ModifyHttpDhsmConnection", ModifyHttpConnection);
  registry.Add("DeleteDhsmConnection", DeleteConnection);
  registry.Add("ModifyFileSystemDhsm", ModifyFileSystemDhsm);
}

}  // namespace celsim
