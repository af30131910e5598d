// Mounts on movers and VDMs, and the snapshot device name of a writeable
// checkpoint.
#include <memory>

#include "cli/Cli.h"
#include "manage/SnapDeviceName.h"

namespace celcli {

namespace {

json MountJson(const CelerraMountPointsInfo_t& m) {
  return json{{"mover", m.mover},
              {"fileSystem", m.fileSystem},
              {"path", m.path},
              {"moverIdIsVdm", IsTrueText(m.moverIdIsVdm)}};
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

// The demo's snapshot device name for `sharePath`, said and returned.
bool DemoSnapDevice(Runtime& rt, const std::string& sharePath, std::string& snapDevice) {
  DemoState& d = rt.demo();
  rt.Say("Celerra_GetSnapDeviceNameWithManageCelerra(share path " + sharePath + ", fs " + d.pfsId + ", checkpoint " +
         d.ckptName + " [" + d.ckptId + "])");
  if (!Celerra_GetSnapDeviceNameWithManageCelerra(rt.facade(), sharePath, d.pfsId, d.ckptId, d.ckptName,
                                                  snapDevice)) {
    rt.Fail("Celerra_GetSnapDeviceNameWithManageCelerra");
    return false;
  }
  rt.Say("  snapshot device name: " + snapDevice);
  return true;
}

// A share path that does not name the file system's mount, so that only the
// mover's mounts can tell where the checkpoint is.
std::string OutsideSharePath(const DemoState& d) { return "/exports/" + (d.pfsName.empty() ? d.pfsId : d.pfsName); }

bool HaveCheckpoint(Runtime& rt) {
  const DemoState& d = rt.demo();
  if (!d.ckptId.empty() && !d.ckptName.empty() && !d.pfsId.empty()) return true;
  rt.Say("no writeable checkpoint from the earlier steps: nothing to do here");
  return false;
}

// Where the demo's production file system lives: its name and its mover.
struct FsHome {
  std::string name, moverId;
  bool isVdm = false;
};

bool FindFsHome(Runtime& rt, FsHome& home) {
  if (rt.facade().GetFSNameByFSId(rt.demo().pfsId, home.name, home.moverId, home.isVdm)) return true;
  rt.Fail("GetFSNameByFSId");
  return false;
}

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
    if (!rt.facade().GetMountPts(pathsOpts->mover, BoolText(pathsOpts->vdm), mountPaths))
      return rt.Fail("GetMountPts");
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
  CLI::App* snap = app.add_subcommand("snapdev", "the path under which a writeable checkpoint's copy of a share is read");
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
  rt.AddDemoStep({40, "Snapshot device name of a share inside the file system", [](Runtime& rt) {
                    if (!HaveCheckpoint(rt)) return true;
                    DemoState& d = rt.demo();
                    FsHome home;
                    if (!FindFsHome(rt, home)) return false;
                    std::string root = home.isVdm ? "/root_vdm_" + home.moverId : std::string();
                    rt.Say("the share path names the file system, so the answer needs no mount query");
                    return DemoSnapDevice(rt, root + "/" + home.name + "/projects", d.snapDevice);
                  }});
  rt.AddDemoStep({41, "Snapshot device name when the share path does not tell it", [](Runtime& rt) {
                    if (!HaveCheckpoint(rt)) return true;
                    DemoState& d = rt.demo();
                    rt.Say("the mounts of the mover are searched; if the checkpoint has none, it is mounted at /" +
                           d.ckptName);
                    return DemoSnapDevice(rt, OutsideSharePath(d), d.snapDevice);
                  }});
  rt.AddDemoStep({42, "Proof: the checkpoint's mount exists", [](Runtime& rt) {
                    if (!HaveCheckpoint(rt)) return true;
                    DemoState& d = rt.demo();
                    FsHome home;
                    if (!FindFsHome(rt, home)) return false;
                    CelerraMountPointsInfo_t found;
                    if (!rt.facade().GetMountPointInfo(found, "/" + d.ckptName, home.moverId, home.isVdm))
                      return rt.Fail("GetMountPointInfo"), false;
                    rt.Say("GetMountPointInfo(/" + d.ckptName + "): file system " + found.fileSystem + " on mover " +
                           found.mover + (found.fileSystem == d.ckptId ? " (the checkpoint)" : " (NOT the checkpoint)"));
                    return found.fileSystem == d.ckptId;
                  }});
  rt.AddDemoStep({43, "Asked again, the existing mount is found", [](Runtime& rt) {
                    if (!HaveCheckpoint(rt)) return true;
                    DemoState& d = rt.demo();
                    std::vector<CelerraMountPointsInfo_t> before, after;
                    if (!rt.facade().GetMountPtsInfo(before, "", false, "")) return rt.Fail("GetMountPtsInfo"), false;
                    std::string again;
                    if (!DemoSnapDevice(rt, OutsideSharePath(d), again)) return false;
                    if (!rt.facade().GetMountPtsInfo(after, "", false, "")) return rt.Fail("GetMountPtsInfo"), false;
                    rt.Say("mounts before: " + std::to_string(before.size()) + ", after: " +
                           std::to_string(after.size()) + " (no second mount)");
                    return again == d.snapDevice && before.size() == after.size();
                  }});
}

}  // namespace celcli
