// The movers' DHSM HTTP feature (who may use it, and the change that adds
// hosts and users) and the lookup of the mover, file system and path behind
// a CIFS share URL, on the simulated control station.
#include <algorithm>
#include <cctype>
#include <sstream>

#include "sim/Simulator.h"

namespace celsim {

namespace {

const char kNotFound[] = "13690601495";
const char kBadValue[] = "13690601496";

std::string Get(const pugi::xml_node& node, const char* name) { return node.attribute(name).value(); }

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// True when `server` names the CIFS server `name` (by name, alias or
// interface address).
bool NamesCifsServer(const Model& m, const std::string& name, const std::string& server) {
  if (SameName(name, server)) return true;
  for (const CifsServer& s : m.cifsServers) {
    if (!SameName(s.name, name)) continue;
    for (const std::string& alias : s.aliases)
      if (SameName(alias, server)) return true;
    for (const std::string& address : s.interfaces)
      if (address == server) return true;
  }
  return false;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
  return text;
}

// cifs://server/share[/path] -> the share's mover (the physical one for a
// share on a VDM), file system and path. Anything unknown gives an empty list.
Outcome LocateFileSystem(Model& m, const SimRequest& r) {
  std::string url = Get(r.body, "url");
  static const std::string scheme = "cifs://";
  if (url.size() <= scheme.size() || !SameName(url.substr(0, scheme.size()), scheme)) return Outcome::Ok();
  std::string rest = url.substr(scheme.size());
  size_t slash = rest.find('/');
  if (slash == std::string::npos) return Outcome::Ok();
  std::string server = rest.substr(0, slash);
  rest = rest.substr(slash + 1);
  slash = rest.find('/');
  std::string shareName = rest.substr(0, slash);
  std::string below = slash == std::string::npos ? std::string() : rest.substr(slash);
  while (!below.empty() && below.back() == '/') below.pop_back();

  std::string body;
  for (const CifsShare& share : m.shares) {
    if (!SameName(share.name, shareName)) continue;
    bool served = false;
    for (const std::string& name : share.servers) served = served || NamesCifsServer(m, name, server);
    if (!served) continue;
    std::string mover = share.moverId;
    if (share.moverIsVdm)
      if (const Mover* vdm = m.FindMover(share.moverId)) mover = vdm->hostMoverId;
    body += "<FileSystemLocation" + A("mover", mover) + A("fileSystem", share.fsId) + A("path", share.path + below) +
            "/>\n";
  }
  return Outcome::Ok(std::move(body));
}

std::string FeatureXml(const Mover& mover) {
  std::string x = "<MoverHttpFeature" + A("mover", mover.id) + A("feature", "dhsm") + A("port", mover.httpPort) +
                  A("serviceState", mover.httpServiceState) + A("authentication", mover.httpAuthentication) +
                  A("validHosts", Joined(mover.httpValidHosts)) + ">\n";
  if (mover.httpAnyUser) x += "  <AnyUser/>\n";
  if (!mover.httpUsers.empty()) {
    x += "  <Users>";
    for (const std::string& u : mover.httpUsers) x += "<li>" + Esc(u) + "</li>";
    x += "</Users>\n";
  }
  return x + "</MoverHttpFeature>\n";
}

Outcome QueryFeature(Model& m, const SimRequest& r) {
  std::string feature = Get(r.body, "feature");
  if (!feature.empty() && feature != "dhsm") return Outcome::Error(kBadValue, "Unknown HTTP feature '" + feature + "'");
  std::string id = Get(r.body, "mover");
  std::string body;
  for (const Mover& mover : m.movers) {
    if (mover.isVdm || (!id.empty() && mover.id != id)) continue;
    body += FeatureXml(mover);
  }
  if (!id.empty() && body.empty()) return Outcome::Error(kNotFound, "Data mover " + id + " does not exist");
  return Outcome::Ok(std::move(body));
}

Outcome ModifyFeature(Model& m, const SimRequest& r) {
  std::string id = Get(r.body, "mover");
  Mover* mover = m.FindMover(id);
  if (!mover || mover->isVdm) return Outcome::Error(kNotFound, "Data mover " + id + " does not exist");
  std::string feature = Get(r.body, "feature");
  if (feature != "dhsm") return Outcome::Error(kBadValue, "Unknown HTTP feature '" + feature + "'");
  std::string type = Get(r.body, "type");
  std::vector<std::string> hosts = Words(Get(r.body, "validHosts"));
  std::vector<std::string> users;
  for (pugi::xml_node li : r.body.child("Users").children("li")) users.push_back(li.text().get());
  bool anyUser = static_cast<bool>(r.body.child("AnyUser"));
  if (hosts.empty() && users.empty() && !anyUser) return Outcome::Error(kBadValue, "No hosts or users to change");

  auto add = [](std::vector<std::string>& list, const std::string& v) {
    if (std::find(list.begin(), list.end(), v) == list.end()) list.push_back(v);
  };
  auto drop = [](std::vector<std::string>& list, const std::string& v) {
    list.erase(std::remove(list.begin(), list.end(), v), list.end());
  };
  if (type == "append") {
    for (const auto& h : hosts) add(mover->httpValidHosts, h);
    for (const auto& u : users) add(mover->httpUsers, u);
    if (anyUser) mover->httpAnyUser = true;
  } else if (type == "remove") {
    for (const auto& h : hosts) drop(mover->httpValidHosts, h);
    for (const auto& u : users) drop(mover->httpUsers, u);
    if (anyUser) mover->httpAnyUser = false;
  } else if (type == "replace") {
    mover->httpValidHosts = hosts;
    mover->httpUsers = users;
    mover->httpAnyUser = anyUser;
  } else {
    return Outcome::Error(kBadValue, "Unknown change type '" + type + "'");
  }
  return Outcome::Ok();
}

}  // namespace

void RegisterHttpFeatureHandlers(Registry& registry) {
  registry.Add("FileSystemLocationQueryParams", LocateFileSystem);
  registry.Add("MoverHttpFeatureQueryParams", QueryFeature);
  registry.Add("ModifyHttpFeatureUsersAndHosts", ModifyFeature);
}

}  // namespace celsim
