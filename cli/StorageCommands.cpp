// pool list | lun list, and the demo's look at the storage pools. Tables show
// sizes in human units; --json gives them exactly.
#include "cli/Cli.h"

namespace celcli {

namespace {

json Size(Runtime& rt, long long bytes) { return rt.jsonOutput() ? json(bytes) : json(HumanBytes(bytes)); }

json PoolsJson(Runtime& rt, const std::vector<CelerraStgPoolInfo_t>& pools) {
  json rows = json::array();
  for (const CelerraStgPoolInfo_t& p : pools)
    rows.push_back({{"name", p.name},
                    {"pool", p.pool},
                    {"usedSize", Size(rt, p.usedSize)},
                    {"size", Size(rt, p.size)},
                    {"movers", p.movers}});
  return rows;
}

const std::vector<std::pair<std::string, std::string>> kPoolColumns = {
    {"pool", "ID"}, {"name", "NAME"}, {"size", "SIZE"}, {"usedSize", "USED"}, {"movers", "MOVERS"}};

int ListPools(Runtime& rt) {
  std::vector<CelerraStgPoolInfo_t> pools;
  if (!rt.facade().GetStgPoolInfo(pools)) return rt.Fail("GetStgPoolInfo");
  rt.PrintTable(PoolsJson(rt, pools), kPoolColumns);
  return kOk;
}

}  // namespace

void RegisterStorageCommands(CLI::App& app, Runtime& rt) {
  CLI::App* pool = app.add_subcommand("pool", "storage pools");
  pool->require_subcommand(1);
  CLI::App* pools = pool->add_subcommand("list", "list the storage pools");
  rt.OnRun(pools, [&rt] { return ListPools(rt); });

  CLI::App* lun = app.add_subcommand("lun", "iSCSI LUNs");
  lun->require_subcommand(1);
  CLI::App* luns = lun->add_subcommand("list", "list the iSCSI LUNs");
  rt.OnRun(luns, [&rt] {
    std::vector<CelerraLunInfo_t> result;
    if (!rt.facade().GetLunInfo(result)) return rt.Fail("GetLunInfo");
    json rows = json::array();
    for (const CelerraLunInfo_t& l : result)
      rows.push_back({{"name", l.name}, {"size", Size(rt, l.size)}, {"fileSystem", l.fileSystem}, {"lun", l.lun}});
    rt.PrintTable(rows, {{"lun", "LUN"}, {"name", "NAME"}, {"size", "SIZE"}, {"fileSystem", "FILE SYSTEM"}});
    return kOk;
  });

  rt.AddDemoStep({12, "The server's storage pools (GetStgPoolInfo)", [](Runtime& rt) { return ListPools(rt) == kOk; }});
}

}  // namespace celcli
