// `celerractl ckpt ...`: list, show, create (writeable and read-only),
// delete and restore checkpoints.
#include "cli/Cli.h"
#include "messages/ServerCodes.h"

namespace celcli {

namespace {

json CheckpointJson(const CelerraChkPtInfo& c) {
  return json{
      {"chkPtId", c.m_sChkPtId}, {"baseChkPtId", c.m_sBaseChkPtId}, {"fsId", c.m_sFSId}, {"chkPtName", c.m_sChkPtName}};
}

const Columns kCkptColumns = {{"chkPtId", "ID"}, {"chkPtName", "NAME"}, {"fsId", "FS"}, {"baseChkPtId", "BASELINE"}};

eCelerraStgType StgTypeOf(const std::string& text) {
  if (text == "pool") return STG_TYPE_POOL;
  if (text == "volume") return STG_TYPE_VOLUME;
  return STG_TYPE_NONE;
}

// The code with which the server says a checkpoint is gone already.
const char* const kAlreadyDeleted = celerra_codes::kCheckpointAlreadyDeleted;

struct CreateArgs {
  std::string fsId, stgType, stgId, name, baseline;
  bool newBaseline = false;
};

// The options both create commands share.
void AddCreateOptions(CLI::App* cmd, CreateArgs& a) {
  cmd->add_option("--fs", a.fsId, "id of the production file system")->required();
  cmd->add_option("--stg-type", a.stgType, "where its storage comes from")
      ->required()
      ->check(CLI::IsMember({"pool", "volume"}));
  cmd->add_option("--stg-id", a.stgId, "storage pool or disk volume id (see `fs show`)")->required();
  cmd->add_option("--name", a.name, "checkpoint name")->required();
}

}  // namespace

bool PrintCheckpoints(Runtime& rt, const std::string& name) {
  std::list<CelerraChkPtInfo> chkPts;
  if (!rt.facade().GetChkPointsInfo(name, chkPts)) return false;
  rt.PrintList(chkPts, CheckpointJson, kCkptColumns);
  return true;
}

void RegisterCheckpointCommands(CLI::App& app, Runtime& rt) {
  CLI::App* ckpt = app.add_subcommand("ckpt", "checkpoints (snapshots)");
  ckpt->require_subcommand(1);

  auto listName = std::make_shared<std::string>();
  CLI::App* list = ckpt->add_subcommand("list", "list every checkpoint, or those named NAME");
  list->add_option("NAME", *listName, "checkpoint name");
  rt.OnRun(list, [&rt, listName] { return PrintCheckpoints(rt, *listName) ? kOk : rt.Fail("GetChkPointsInfo"); });

  auto showName = std::make_shared<std::string>();
  CLI::App* show = ckpt->add_subcommand("show", "the ids of the checkpoint named NAME");
  show->add_option("NAME", *showName, "checkpoint name")->required();
  rt.OnRun(show, [&rt, showName] {
    std::string chkPtId, baseLineChkPtId;
    if (!rt.facade().GetChkPointInfo(*showName, chkPtId, baseLineChkPtId)) return rt.Fail("GetChkPointInfo");
    rt.PrintObject(json{{"chkPtId", chkPtId}, {"baseLineChkPtId", baseLineChkPtId}});
    return kOk;
  });

  auto rw = std::make_shared<CreateArgs>();
  CLI::App* createRw = ckpt->add_subcommand("create-rw", "create a writeable checkpoint on a baseline");
  AddCreateOptions(createRw, *rw);
  CLI::Option_group* base = createRw->add_option_group("baseline", "the baseline checkpoint");
  base->add_option("--baseline", rw->baseline, "id of an existing baseline checkpoint");
  base->add_flag("--new-baseline", rw->newBaseline, "create the baseline NAME_baseline in the same task");
  base->require_option(1);
  rt.OnRun(createRw, [&rt, rw] {
    std::string baseLineChkPtId = rw->baseline, chkPtId;
    if (!rt.facade().CreateRWChkPt(rw->fsId, StgTypeOf(rw->stgType), rw->stgId, rw->name, rw->newBaseline,
                                   baseLineChkPtId, chkPtId))
      return rt.Fail("CreateRWChkPt");
    rt.PrintObject(json{{"chkPtId", chkPtId}, {"baseLineChkPtId", baseLineChkPtId}});
    return kOk;
  });

  auto ro = std::make_shared<CreateArgs>();
  CLI::App* createRo = ckpt->add_subcommand("create-ro", "create a read-only checkpoint in a pool or on a volume");
  AddCreateOptions(createRo, *ro);
  rt.OnRun(createRo, [&rt, ro] {
    std::string chkPtId;
    if (!rt.facade().CreateROChkPt(ro->fsId, StgTypeOf(ro->stgType), ro->stgId, ro->name, chkPtId))
      return rt.Fail("CreateROChkPt");
    rt.PrintObject(json{{"chkPtId", chkPtId}});
    return kOk;
  });

  struct DeleteArgs {
    std::string id, baseline;
    bool deleteBaseline = false;
  };
  auto del = std::make_shared<DeleteArgs>();
  CLI::App* remove = ckpt->add_subcommand("delete", "delete a checkpoint, or force-delete its baseline");
  remove->add_option("ID", del->id, "checkpoint id")->required();
  remove->add_option("--baseline", del->baseline, "id of its baseline checkpoint");
  remove->add_flag("--delete-baseline", del->deleteBaseline,
                   "force-delete the baseline (and the writeable checkpoints on it) instead");
  rt.OnRun(remove, [&rt, del] {
    if (!rt.facade().DeleteChkPt(del->id, del->baseline, del->deleteBaseline)) return rt.Fail("DeleteChkPt");
    // Success also covers a checkpoint the server had deleted already; its
    // notice stays in the last error.
    bool already = rt.facade().GetLastError1().m_sMessageCode == kAlreadyDeleted;
    rt.PrintObject(json{{"chkPtId", del->id},
                        {"baseLineChkPtId", del->baseline},
                        {"deleteBaseLine", del->deleteBaseline},
                        {"alreadyDeleted", already}});
    return kOk;
  });

  struct RestoreArgs {
    std::string name, id, fs;
  };
  auto restore = std::make_shared<RestoreArgs>();
  CLI::App* restoreCmd = ckpt->add_subcommand("restore", "restore a production file system from a checkpoint");
  restoreCmd->add_option("--name", restore->name, "checkpoint name")->required();
  restoreCmd->add_option("--id", restore->id, "checkpoint id")->required();
  restoreCmd->add_option("--fs", restore->fs, "id of the production file system")->required();
  rt.OnRun(restoreCmd, [&rt, restore] {
    if (!rt.facade().RestorePFSFromChkPt(restore->name, restore->id, restore->fs))
      return rt.Fail("RestorePFSFromChkPt");
    rt.PrintObject(
        json{{"chkPtName", restore->name}, {"chkPtId", restore->id}, {"pfsId", restore->fs}, {"restored", true}});
    return kOk;
  });
}

}  // namespace celcli
