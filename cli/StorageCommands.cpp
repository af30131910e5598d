// pool list | lun list. Tables show
// sizes in human units; JSON gives them exactly, in bytes.
#include "cli/Cli.h"

namespace celcli {

namespace {

json PoolJson(const CelerraStgPoolInfo_t& p) {
  return {{"name", p.name},
          {"pool", std::to_string(p.pool)},
          {"usedSize", p.usedSize},
          {"size", p.size},
          {"movers", p.movers}};
}

const Columns kPoolColumns = {{"pool", "ID"},
                              {"name", "NAME"},
                              {"size", "SIZE", CellKind::Bytes},
                              {"usedSize", "USED", CellKind::Bytes},
                              {"usedSize", "USE%", CellKind::Use, "size"},
                              {"movers", "MOVERS", CellKind::List}};

// The LUN number names the LUN: an id, so text.
json LunJson(const CelerraLunInfo_t& l) {
  return {{"name", l.name}, {"size", l.size}, {"fileSystem", l.fileSystem}, {"lun", std::to_string(l.lun)}};
}

const Columns kLunColumns = {
    {"lun", "LUN"}, {"name", "NAME"}, {"size", "SIZE", CellKind::Bytes}, {"fileSystem", "FILE SYSTEM"}};

}  // namespace

int ListPools(Runtime& rt) {
  std::vector<CelerraStgPoolInfo_t> pools;
  if (!rt.facade().GetStgPoolInfo(pools)) return rt.Fail("GetStgPoolInfo");
  rt.PrintList(pools, PoolJson, kPoolColumns);
  return kOk;
}

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
    rt.PrintList(result, LunJson, kLunColumns);
    return kOk;
  });
}

}  // namespace celcli
