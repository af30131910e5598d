// `celerractl fs ...`: the file-system list, one file system in detail, and
// a file system's name from its id.
#include "cli/Cli.h"

namespace celcli {

namespace {

const char* StgTypeText(eCelerraStgType type) {
  switch (type) {
    case STG_TYPE_POOL: return "pool";
    case STG_TYPE_VOLUME: return "volume";
    default: return "none";
  }
}

// Pool ids are ids: text, like every id in the output.
json PoolIds(const std::vector<int>& pools) {
  json ids = json::array();
  for (int pool : pools) ids.push_back(std::to_string(pool));
  return ids;
}

json FileSystemJson(const CelerraFileSystem_t& fs) {
  return json{{"name", fs.m_sName},
              {"fsId", fs.m_sFSId},
              {"type", fs.m_sType},
              {"moverId", fs.m_sMoverId},
              {"storagePools", PoolIds(fs.m_vStoragePools)},
              {"volumeSize", fs.m_nVolumeSize},
              {"spaceTotal", fs.m_nSpaceTotal},
              {"spaceUsed", fs.m_nSpaceUsed},
              {"filesUsed", fs.m_nFilesUsed},
              {"filesTotal", fs.m_nFilesTotal}};
}

// File-system space comes in MB from the server. SIZE is the volume's, of
// which USABLE is the part the file system can fill; USE% is USED of USABLE.
const Columns kFsColumns = {{"fsId", "ID"},
                            {"name", "NAME"},
                            {"type", "TYPE"},
                            {"moverId", "MOVER"},
                            {"storagePools", "POOLS", CellKind::List},
                            {"volumeSize", "SIZE", CellKind::MegaBytes},
                            {"spaceTotal", "USABLE", CellKind::MegaBytes},
                            {"spaceUsed", "USED", CellKind::MegaBytes},
                            {"spaceUsed", "USE%", CellKind::Use, "spaceTotal"},
                            {"filesUsed", "FILES", CellKind::Count},
                            {"filesTotal", "FILES TOTAL", CellKind::Count}};

}  // namespace

void PrintFileSystems(Runtime& rt, const std::vector<CelerraFileSystem_t>& fileSystems) {
  rt.PrintList(fileSystems, FileSystemJson, kFsColumns);
}

json PfsJson(const PfsInfo& p) {
  return json{{"pfsId", p.pfsId},          {"stgType", StgTypeText(p.stgType)},
              {"stgId", p.stgId},          {"savVolId", p.savVolId},
              {"pfsName", p.pfsName},      {"moverId", p.moverId},
              {"moverIsVdm", p.moverIsVdm}};
}

void RegisterFileSystemCommands(CLI::App& app, Runtime& rt) {
  CLI::App* fs = app.add_subcommand("fs", "file systems");
  fs->require_subcommand(1);

  CLI::App* list = fs->add_subcommand("list", "list every file system with its capacity figures");
  rt.OnRun(list, [&rt] {
    std::vector<CelerraFileSystem_t> fileSystems;
    if (!rt.facade().GetFSInfo(fileSystems)) return rt.Fail("GetFSInfo");
    PrintFileSystems(rt, fileSystems);
    return kOk;
  });

  auto show = std::make_shared<PfsInfo>();
  CLI::App* showCmd = fs->add_subcommand("show", "one production file system: storage, save volume, mover");
  CLI::Option_group* selector = showCmd->add_option_group("selector", "which file system");
  selector->add_option("--id", show->pfsId, "file-system id");
  selector->add_option("--name", show->pfsName, "file-system name (a leading / is dropped)");
  selector->require_option(1);
  rt.OnRun(showCmd, [&rt, show] {
    PfsInfo p = *show;
    if (!rt.facade().GetPFSInfo(p.pfsId, p.stgType, p.stgId, p.savVolId, p.pfsName, p.moverId, p.moverIsVdm))
      return rt.Fail("GetPFSInfo");
    rt.PrintObject(PfsJson(p));
    return kOk;
  });

  auto fsId = std::make_shared<std::string>();
  CLI::App* name = fs->add_subcommand("name", "a file system's name and mover from its id");
  name->add_option("ID", *fsId, "file-system id")->required();
  rt.OnRun(name, [&rt, fsId] {
    std::string fsName, moverId;
    bool moverIsVdm = false;
    if (!rt.facade().GetFSNameByFSId(*fsId, fsName, moverId, moverIsVdm)) return rt.Fail("GetFSNameByFSId");
    rt.PrintObject(json{{"fsName", fsName}, {"moverId", moverId}, {"moverIsVdm", moverIsVdm}});
    return kOk;
  });
}

}  // namespace celcli
