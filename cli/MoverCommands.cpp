// mover names | cifs-servers | aliases | of-vdm.
#include <memory>

#include "cli/Cli.h"

namespace celcli {

namespace {

json CifsServerJson(const CelerraCifsServer_t& s) {
  return {
      {"mover", s.mover}, {"name", s.name}, {"interfaces", s.interfaces}, {"moverIdIsVdm", IsTrueText(s.moverIdIsVdm)}};
}

const Columns kCifsColumns = {
    {"name", "NAME"}, {"mover", "MOVER"}, {"moverIdIsVdm", "VDM", CellKind::Flag}, {"interfaces", "INTERFACES"}};

}  // namespace

// The id-to-name map is an out-argument: one object keyed "names" in JSON,
// a table of ids and names otherwise.
void PrintMoverNames(Runtime& rt, const std::map<std::string, std::string>& names) {
  if (rt.jsonOutput()) {
    rt.PrintObject({{"names", json(names)}});
    return;
  }
  rt.PrintList(names,
               [](const std::pair<const std::string, std::string>& e) {
                 return json{{"id", e.first}, {"name", e.second}};
               },
               {{"id", "ID"}, {"name", "NAME"}});
}

void PrintCifsServers(Runtime& rt, const std::vector<CelerraCifsServer_t>& servers) {
  rt.PrintList(servers, CifsServerJson, kCifsColumns);
}

void RegisterMoverCommands(CLI::App& app, Runtime& rt) {
  CLI::App* mover = app.add_subcommand("mover", "data movers, VDMs and CIFS servers");
  mover->require_subcommand(1);

  CLI::App* names = mover->add_subcommand("names", "ids and names of the data movers and VDMs");
  rt.OnRun(names, [&rt] {
    std::map<std::string, std::string> result;
    if (!rt.facade().GetMoverNames(result)) return rt.Fail("GetMoverNames");
    PrintMoverNames(rt, result);
    return kOk;
  });

  auto cifsMover = std::make_shared<std::string>();
  CLI::App* cifs = mover->add_subcommand("cifs-servers", "CIFS servers, of all movers or of one");
  cifs->add_option("--mover", *cifsMover, "mover or VDM id");
  rt.OnRun(cifs, [&rt, cifsMover] {
    std::vector<CelerraCifsServer_t> servers;
    if (!rt.facade().GetCifsServers(servers, *cifsMover)) return rt.Fail("GetCifsServers");
    PrintCifsServers(rt, servers);
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
}

}  // namespace celcli
