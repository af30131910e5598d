// Mounts on movers and VDMs, and the snapshot device name of a writeable
// checkpoint.
#include <memory>

#include "cli/Cli.h"
#include "manage/SnapDeviceName.h"

namespace celcli {

namespace {

json MountJson(const CelerraMountPointsInfo_t& m) {
  return json{
      {"mover", m.mover}, {"fileSystem", m.fileSystem}, {"path", m.path}, {"moverIdIsVdm", IsTrueText(m.moverIdIsVdm)}};
}

const Columns kMountColumns = {
    {"path", "PATH"}, {"fileSystem", "FS"}, {"mover", "MOVER"}, {"moverIdIsVdm", "VDM", CellKind::Flag}};

const char* BoolText(bool value) { return value ? "true" : "false"; }

struct MountOptions {
  std::string mover;
  std::string path;
  std::string fs;
  bool vdm = false;
};

struct SnapOptions {
  std::string sharePath, fsId, ckptId, ckptName;
};

}  // namespace

void RegisterMountCommands(CLI::App& app, Runtime& rt) {
  CLI::App* mount = app.add_subcommand("mount", "mounts of file systems and checkpoints on movers and VDMs");
  mount->require_subcommand(1);

  auto listOpts = std::make_shared<MountOptions>();
  CLI::App* list = mount->add_subcommand("list", "list mounts (of one mover or VDM, or at one path)");
  list->add_option("--mover", listOpts->mover, "mover or VDM id (default: all movers)");
  list->add_flag("--vdm", listOpts->vdm, "the id names a VDM");
  list->add_option("--path", listOpts->path, "only the mount at this path");
  rt.OnRun(list, [&rt, listOpts] {
    std::vector<CelerraMountPointsInfo_t> mounts;
    if (!rt.facade().GetMountPtsInfo(mounts, listOpts->mover, listOpts->vdm, listOpts->path))
      return rt.Fail("GetMountPtsInfo");
    rt.PrintList(mounts, MountJson, kMountColumns);
    return kOk;
  });

  auto pathsOpts = std::make_shared<MountOptions>();
  CLI::App* paths = mount->add_subcommand("paths", "the mount paths of one mover or VDM");
  paths->add_option("--mover", pathsOpts->mover, "mover or VDM id")->required();
  paths->add_flag("--vdm", pathsOpts->vdm, "the id names a VDM");
  rt.OnRun(paths, [&rt, pathsOpts] {
    std::vector<std::string> mountPaths;
    if (!rt.facade().GetMountPts(pathsOpts->mover, BoolText(pathsOpts->vdm), mountPaths)) return rt.Fail("GetMountPts");
    if (rt.jsonOutput())
      rt.PrintObject(json{{"mountPaths", mountPaths}});
    else
      rt.PrintList(mountPaths, [](const std::string& p) { return json{{"path", p}}; }, {{"path", "PATH"}});
    return kOk;
  });

  auto showOpts = std::make_shared<MountOptions>();
  CLI::App* show = mount->add_subcommand("show", "the mount at a path");
  show->add_option("path", showOpts->path, "mount path")->required();
  show->add_option("--mover", showOpts->mover, "mover or VDM id (default: all movers)");
  show->add_flag("--vdm", showOpts->vdm, "the id names a VDM");
  rt.OnRun(show, [&rt, showOpts] {
    CelerraMountPointsInfo_t found;
    if (!rt.facade().GetMountPointInfo(found, showOpts->path, showOpts->mover, showOpts->vdm))
      return rt.Fail("GetMountPointInfo");
    rt.PrintObject(MountJson(found));
    return kOk;
  });

  auto createOpts = std::make_shared<MountOptions>();
  CLI::App* create = mount->add_subcommand("create", "mount a file system or checkpoint at a path");
  create->add_option("path", createOpts->path, "mount path, such as /ckpt1")->required();
  create->add_option("--mover", createOpts->mover, "mover or VDM id")->required();
  create->add_option("--fs", createOpts->fs, "id of the file system or checkpoint")->required();
  create->add_flag("--vdm", createOpts->vdm, "the id names a VDM");
  rt.OnRun(create, [&rt, createOpts] {
    const MountOptions& o = *createOpts;
    if (!rt.facade().CreateMount(o.path, o.mover, o.fs, BoolText(o.vdm))) return rt.Fail("CreateMount");
    rt.PrintObject(json{{"mountPath", o.path}, {"moverId", o.mover}, {"fileSystemId", o.fs}, {"moverIdIsVdm", o.vdm}});
    return kOk;
  });

  auto snapOpts = std::make_shared<SnapOptions>();
  CLI::App* snap =
      app.add_subcommand("snapdev", "the path under which a writeable checkpoint's copy of a share is read");
  snap->add_option("--share-path", snapOpts->sharePath, "share path on the mover, such as /fs1/dir1")->required();
  snap->add_option("--fs", snapOpts->fsId, "id of the production file system")->required();
  snap->add_option("--ckpt-id", snapOpts->ckptId, "id of the writeable checkpoint")->required();
  snap->add_option("--ckpt-name", snapOpts->ckptName, "name of the writeable checkpoint")->required();
  rt.OnRun(snap, [&rt, snapOpts] {
    const SnapOptions& o = *snapOpts;
    std::string snapDeviceName;
    if (!Celerra_GetSnapDeviceNameWithManageCelerra(rt.facade(), o.sharePath, o.fsId, o.ckptId, o.ckptName,
                                                    snapDeviceName))
      return rt.Fail("Celerra_GetSnapDeviceNameWithManageCelerra");
    rt.PrintObject(json{{"snapDeviceName", snapDeviceName}});
    return kOk;
  });

  // The snapshot workflow on the writeable checkpoint made by the checkpoint
  // steps: where a share's copy is read, the mount behind it, and the proof.
}

}  // namespace celcli
