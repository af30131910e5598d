// mover names | cifs-servers | aliases | of-vdm, and the demo's opening look
// at the server's movers, VDMs and CIFS servers.
#include <memory>

#include "cli/Cli.h"

namespace celcli {

namespace {

// The id-to-name map is an out-argument: one object keyed "names" in JSON,
// a table of ids and names otherwise.
void PrintNames(Runtime& rt, const std::map<std::string, std::string>& names) {
  if (rt.jsonOutput()) {
    rt.PrintObject({{"names", json(names)}});
    return;
  }
  rt.PrintList(
      names, [](const std::pair<const std::string, std::string>& e) { return json{{"id", e.first}, {"name", e.second}}; },
      {{"id", "ID"}, {"name", "NAME"}});
}

json CifsServerJson(const CelerraCifsServer_t& s) {
  return {{"mover", s.mover}, {"name", s.name}, {"interfaces", s.interfaces}, {"moverIdIsVdm", IsTrueText(s.moverIdIsVdm)}};
}

const Columns kCifsColumns = {
    {"name", "NAME"}, {"mover", "MOVER"}, {"moverIdIsVdm", "VDM", CellKind::Flag}, {"interfaces", "INTERFACES"}};

}  // namespace

void RegisterMoverCommands(CLI::App& app, Runtime& rt) {
  CLI::App* mover = app.add_subcommand("mover", "data movers, VDMs and CIFS servers");
  mover->require_subcommand(1);

  CLI::App* names = mover->add_subcommand("names", "ids and names of the data movers and VDMs");
  rt.OnRun(names, [&rt] {
    std::map<std::string, std::string> result;
    if (!rt.facade().GetMoverNames(result)) return rt.Fail("GetMoverNames");
    PrintNames(rt, result);
    return kOk;
  });

  auto cifsMover = std::make_shared<std::string>();
  CLI::App* cifs = mover->add_subcommand("cifs-servers", "CIFS servers, of all movers or of one");
  cifs->add_option("--mover", *cifsMover, "mover or VDM id");
  rt.OnRun(cifs, [&rt, cifsMover] {
    std::vector<CelerraCifsServer_t> servers;
    if (!rt.facade().GetCifsServers(servers, *cifsMover)) return rt.Fail("GetCifsServers");
    rt.PrintList(servers, CifsServerJson, kCifsColumns);
    return kOk;
  });

  auto ip = std::make_shared<std::string>();
  CLI::App* aliases = mover->add_subcommand("aliases", "every address of the network device that carries IP");
  aliases->add_option("IP", *ip, "an address of a data mover")->required();
  rt.OnRun(aliases, [&rt, ip] {
    std::set<std::string> result;
    if (!rt.facade().GetAliasList(*ip, result)) return rt.Fail("GetAliasList");
    rt.PrintObject({{"aliases", json(std::vector<std::string>(result.begin(), result.end()))}});
    return kOk;
  });

  auto vdm = std::make_shared<std::string>();
  CLI::App* ofVdm = mover->add_subcommand("of-vdm", "the data mover that hosts a VDM");
  ofVdm->add_option("VDM", *vdm, "VDM id")->required();
  rt.OnRun(ofVdm, [&rt, vdm] {
    std::string result;
    try {
      rt.facade().GetMoverForVdm(*vdm, result);
    } catch (int) {
      return rt.Fail("GetMoverForVdm");
    }
    rt.PrintObject({{"mover", result}});
    return kOk;
  });

  rt.AddDemoStep({10, "The server's data movers and VDMs (GetMoverNames)", [](Runtime& rt) {
                    std::map<std::string, std::string> result;
                    if (!rt.facade().GetMoverNames(result)) {
                      rt.Fail("GetMoverNames");
                      return false;
                    }
                    PrintNames(rt, result);
                    return true;
                  }});
  rt.AddDemoStep({11, "CIFS servers on the movers and VDMs (GetCifsServers)", [](Runtime& rt) {
                    std::vector<CelerraCifsServer_t> servers;
                    if (!rt.facade().GetCifsServers(servers, "")) {
                      rt.Fail("GetCifsServers");
                      return false;
                    }
                    rt.PrintList(servers, CifsServerJson, kCifsColumns);
                    // Where a VDM's CIFS server really runs.
                    for (const CelerraCifsServer_t& s : servers) {
                      if (s.moverIdIsVdm != "true") continue;
                      std::string host;
                      try {
                        rt.facade().GetMoverForVdm(s.mover, host);
                      } catch (int) {
                        rt.Say("no data mover found for VDM " + s.mover);
                        return false;
                      }
                      rt.Say("VDM " + s.mover + " (" + s.name + ") runs on data mover " + host);
                    }
                    return true;
                  }});
}

}  // namespace celcli
