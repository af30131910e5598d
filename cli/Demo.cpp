// `celerractl demo`: a scripted tour of the library, read top to bottom in
// the order it runs. Each step prints what it does and returns false to stop
// the tour; the values one step finds (the file system, the checkpoint) are
// handed to the next in DemoState.
#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "manage/SnapDeviceName.h"
#include "sim/DatasetIds.h"

namespace celcli {

namespace {

// A step that failed: the operation's line on stderr, and the tour stops.
bool StepFailed(Runtime& rt, const char* operation) {
  rt.Fail(operation);
  return false;
}

// ---------------------------------------------------------------- movers and storage

bool MoversAndVdms(Runtime& rt) {
  std::map<std::string, std::string> result;
  if (!rt.facade().GetMoverNames(result)) return StepFailed(rt, "GetMoverNames");
  PrintMoverNames(rt, result);
  return true;
}

bool CifsServersAndTheirMovers(Runtime& rt) {
  std::vector<CelerraCifsServer_t> servers;
  if (!rt.facade().GetCifsServers(servers, "")) return StepFailed(rt, "GetCifsServers");
  PrintCifsServers(rt, servers);
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
}

bool StoragePools(Runtime& rt) { return ListPools(rt) == kOk; }

// ---------------------------------------------------------------- the file system

bool ListFileSystems(Runtime& rt) {
  std::vector<CelerraFileSystem_t> fileSystems;
  if (!rt.facade().GetFSInfo(fileSystems)) return StepFailed(rt, "GetFSInfo");
  // The first mounted production file system is the one the tour works on.
  for (const auto& f : fileSystems) {
    if (rt.demo().pfsName.empty() && f.m_sType != "ckpt" && !f.m_sMoverId.empty()) rt.demo().pfsName = f.m_sName;
  }
  PrintFileSystems(rt, fileSystems);
  rt.Say(std::to_string(fileSystems.size()) + " file systems");
  if (rt.demo().pfsName.empty()) {
    rt.Say("no mounted production file system to work on");
    return false;
  }
  return true;
}

bool InspectTheFileSystem(Runtime& rt) {
  DemoState& d = rt.demo();
  PfsInfo p;
  p.pfsName = d.pfsName;
  if (!rt.facade().GetPFSInfo(p.pfsId, p.stgType, p.stgId, p.savVolId, p.pfsName, p.moverId, p.moverIsVdm))
    return StepFailed(rt, "GetPFSInfo");
  d.pfsId = p.pfsId;
  d.pfsName = p.pfsName;
  d.stgType = p.stgType;
  d.stgId = p.stgId;
  d.savVolId = p.savVolId;
  d.moverId = p.moverId;
  d.moverIsVdm = p.moverIsVdm;
  rt.PrintObject(PfsJson(p));
  return true;
}

// ---------------------------------------------------------------- the checkpoint

bool CreateTheCheckpoint(Runtime& rt) {
  DemoState& d = rt.demo();
  d.ckptName = d.pfsName + "_demo_rw";
  rt.Say("file system " + d.pfsName + " (" + d.pfsId + "), checkpoint " + d.ckptName + ", baseline " + d.ckptName +
         "_baseline");
  if (!rt.facade().CreateRWChkPt(d.pfsId, d.stgType, d.stgId, d.ckptName, true, d.baselineId, d.ckptId))
    return StepFailed(rt, "CreateRWChkPt");
  rt.PrintObject(json{{"chkPtId", d.ckptId}, {"baseLineChkPtId", d.baselineId}});
  return true;
}

bool ListCheckpoints(Runtime& rt) {
  if (!PrintCheckpoints(rt, "")) return StepFailed(rt, "GetChkPointsInfo");
  return true;
}

// ---------------------------------------------------------------- the snapshot device name

bool HaveCheckpoint(Runtime& rt) {
  const DemoState& d = rt.demo();
  if (!d.ckptId.empty() && !d.ckptName.empty() && !d.pfsId.empty()) return true;
  rt.Say("no writeable checkpoint from the earlier steps: nothing to do here");
  return false;
}

// Where the tour's production file system lives: its name and its mover.
struct FsHome {
  std::string name, moverId;
  bool isVdm = false;
};

bool FindFsHome(Runtime& rt, FsHome& home) {
  if (rt.facade().GetFSNameByFSId(rt.demo().pfsId, home.name, home.moverId, home.isVdm)) return true;
  rt.Fail("GetFSNameByFSId");
  return false;
}

// A share path that does not name the file system's mount, so that only the
// mover's mounts can tell where the checkpoint is.
std::string OutsideSharePath(const DemoState& d) { return "/exports/" + (d.pfsName.empty() ? d.pfsId : d.pfsName); }

// The snapshot device name for `sharePath`, said and returned.
bool SnapDevice(Runtime& rt, const std::string& sharePath, std::string& snapDevice) {
  DemoState& d = rt.demo();
  rt.Say("Celerra_GetSnapDeviceNameWithManageCelerra(share path " + sharePath + ", fs " + d.pfsId + ", checkpoint " +
         d.ckptName + " [" + d.ckptId + "])");
  if (!Celerra_GetSnapDeviceNameWithManageCelerra(rt.facade(), sharePath, d.pfsId, d.ckptId, d.ckptName, snapDevice))
    return StepFailed(rt, "Celerra_GetSnapDeviceNameWithManageCelerra");
  rt.Say("  snapshot device name: " + snapDevice);
  return true;
}

bool SnapDeviceOfAShareInside(Runtime& rt) {
  if (!HaveCheckpoint(rt)) return true;
  FsHome home;
  if (!FindFsHome(rt, home)) return false;
  std::string root = home.isVdm ? "/root_vdm_" + home.moverId : std::string();
  rt.Say("the share path names the file system, so the answer needs no mount query");
  return SnapDevice(rt, root + "/" + home.name + "/projects", rt.demo().snapDevice);
}

bool SnapDeviceByMountSearch(Runtime& rt) {
  if (!HaveCheckpoint(rt)) return true;
  DemoState& d = rt.demo();
  rt.Say("the mounts of the mover are searched; if the checkpoint has none, it is mounted at /" + d.ckptName);
  return SnapDevice(rt, OutsideSharePath(d), d.snapDevice);
}

bool TheCheckpointsMountExists(Runtime& rt) {
  if (!HaveCheckpoint(rt)) return true;
  DemoState& d = rt.demo();
  FsHome home;
  if (!FindFsHome(rt, home)) return false;
  CelerraMountPointsInfo_t found;
  if (!rt.facade().GetMountPointInfo(found, "/" + d.ckptName, home.moverId, home.isVdm))
    return StepFailed(rt, "GetMountPointInfo");
  rt.Say("GetMountPointInfo(/" + d.ckptName + "): file system " + found.fileSystem + " on mover " + found.mover +
         (found.fileSystem == d.ckptId ? " (the checkpoint)" : " (NOT the checkpoint)"));
  return found.fileSystem == d.ckptId;
}

bool AskedAgainTheMountIsFound(Runtime& rt) {
  if (!HaveCheckpoint(rt)) return true;
  DemoState& d = rt.demo();
  std::vector<CelerraMountPointsInfo_t> before, after;
  if (!rt.facade().GetMountPtsInfo(before, "", false, "")) return StepFailed(rt, "GetMountPtsInfo");
  std::string again;
  if (!SnapDevice(rt, OutsideSharePath(d), again)) return false;
  if (!rt.facade().GetMountPtsInfo(after, "", false, "")) return StepFailed(rt, "GetMountPtsInfo");
  rt.Say("mounts before: " + std::to_string(before.size()) + ", after: " + std::to_string(after.size()) +
         " (no second mount)");
  return again == d.snapDevice && before.size() == after.size();
}

// ---------------------------------------------------------------- NFS

// What the tour exports: the writeable checkpoint made earlier, or the
// dataset's checkpoint when the tour has none; on the mover that serves its
// file system (a VDM's file systems are exported by the data mover that
// hosts it, server_2 in the simulator's dataset).
std::string ExportName(Runtime& rt) { return rt.demo().ckptName.empty() ? "fs1_ckpt1" : rt.demo().ckptName; }
std::string ExportMover(Runtime& rt) {
  return rt.demo().moverId.empty() || rt.demo().moverIsVdm ? celsim::ids::kServer2 : rt.demo().moverId;
}
const char kExportHost[] = "192.0.2.150";

bool NfsExport(Runtime& rt) {
  std::string name = ExportName(rt);
  std::string mover = ExportMover(rt);
  std::vector<std::string> access = {kExportHost}, rw, root;
  rt.Say("CreateNFSShare(" + name + ", mover " + mover + ", read-only, access host " + kExportHost + ")");
  if (!rt.facade().CreateNFSShare(name, mover, true, access, rw, root)) return StepFailed(rt, "CreateNFSShare");
  rt.Say("exported /" + name + " (the library verified it with a lookup)");
  return true;
}

bool NfsLookUpAndList(Runtime& rt) {
  std::string path = "/" + ExportName(rt);
  std::string pfsId, moverId;
  bool readOnly = true;
  std::vector<std::string> accessHosts, rwHosts, rootHosts;
  if (!rt.facade().GetNFSInfo(path, pfsId, readOnly, moverId, accessHosts, rwHosts, rootHosts))
    return StepFailed(rt, "GetNFSInfo");
  rt.Say("GetNFSInfo(" + path + "): file system " + pfsId + ", mover " + moverId +
         (readOnly ? ", read-only" : ", read-write"));
  std::vector<CelerraNFSInfo_t> exports;
  if (!rt.facade().GetNFSInfo(exports)) return StepFailed(rt, "GetNFSInfo");
  rt.Say("GetNFSInfo(all): " + std::to_string(exports.size()) + " exports");
  for (const CelerraNFSInfo_t& e : exports)
    rt.Say("  " + e.path + "  fs " + e.fileSystem + "  mover " + e.mover + (e.readOnly ? "  ro" : "  rw"));
  return true;
}

bool NfsRemoveTwice(Runtime& rt) {
  std::string path = "/" + ExportName(rt);
  std::string mover = ExportMover(rt);
  for (int i = 0; i < 2; ++i) {
    if (!rt.facade().DeleteNFSShare(path, mover)) return StepFailed(rt, "DeleteNFSShare");
    rt.Say("DeleteNFSShare(" + path + ", mover " + mover + "): ok");
  }
  return true;
}

// ---------------------------------------------------------------- CIFS

// The tour shares the writeable checkpoint made earlier (or the dataset's
// checkpoint) on the mover or VDM that serves it.
std::string SharePath(Runtime& rt) { return "/" + (rt.demo().ckptName.empty() ? "fs1_ckpt1" : rt.demo().ckptName); }
std::string ShareMover(Runtime& rt) { return rt.demo().moverId.empty() ? celsim::ids::kServer2 : rt.demo().moverId; }
const char kShareName[] = "demo_ckpt_share";

bool CifsShareLookUpAndList(Runtime& rt) {
  std::string path = SharePath(rt);
  std::string mover = ShareMover(rt);
  bool vdm = rt.demo().moverIsVdm;
  rt.Say(std::string("NewCifsShare(") + kShareName + ", " + path + ", " + (vdm ? "VDM " : "mover ") + mover +
         ", all CIFS servers)");
  if (!rt.facade().NewCifsShare(kShareName, path, mover, vdm, {})) return StepFailed(rt, "NewCifsShare");
  std::string pfsId, moverId, name;
  bool moverIdIsVdm = true;
  std::vector<std::string> cifsServers;
  if (!rt.facade().GetCifsShareInfo(kShareName, pfsId, moverIdIsVdm, moverId, name, cifsServers))
    return StepFailed(rt, "GetCifsShareInfo");
  std::string servers;
  for (const std::string& s : cifsServers) servers += (servers.empty() ? "" : ",") + s;
  rt.Say("GetCifsShareInfo(" + std::string(kShareName) + "): file system " + pfsId + ", " +
         (moverIdIsVdm ? "VDM " : "mover ") + moverId + ", servers " + servers);
  std::vector<CelerraCIFSInfo_t> shares;
  if (!rt.facade().GetCifsInfo(shares)) return StepFailed(rt, "GetCifsInfo");
  rt.Say("GetCifsInfo: " + std::to_string(shares.size()) + " shares");
  for (const CelerraCIFSInfo_t& s : shares)
    rt.Say("  " + s.name + "  " + s.path + "  fs " + s.fileSystem + (s.moverIdIsVdm ? "  VDM " : "  mover ") + s.mover);
  return true;
}

bool CifsRemove(Runtime& rt) {
  std::string mover = ShareMover(rt);
  if (!rt.facade().DeleteCifsShare(mover, kShareName, rt.demo().moverIsVdm, {}))
    return StepFailed(rt, "DeleteCifsShare");
  rt.Say("DeleteCifsShare(mover " + mover + ", " + kShareName + "): ok");
  return true;
}

// ---------------------------------------------------------------- offline archiving

bool OfflineArchiving(Runtime& rt) {
  if (!rt.demo().simulated) {
    rt.Say("skipped: this step changes archive settings; it runs only with --sim");
    return true;
  }
  const std::string filerShare = "//CIFS_SRV1/fs1share", archiveShare = "//127.0.0.1/archive", user = "arcuser";
  const std::string password = "demo-archive-secret";
  for (const char* pass : {"first run: a new connection, the address added",
                           "second run: the connection updated, the address already allowed"}) {
    rt.Say("ConfigureFilerForOffLineServer(" + filerShare + ", " + archiveShare + ", " + user + ", ###) - " + pass);
    if (!ConfigureOffline(rt.facade(), filerShare, archiveShare, user, password, false, true))
      return StepFailed(rt, "ConfigureFilerForOffLineServer");
    rt.Say("  configured");
  }
  return true;
}

// ---------------------------------------------------------------- clean-up

bool DeleteTheCheckpoint(Runtime& rt) {
  DemoState& d = rt.demo();
  if (d.ckptId.empty()) {
    rt.Say("nothing to delete");
    return true;
  }
  // Force-deleting the baseline takes the writeable checkpoint with it.
  if (!rt.facade().DeleteChkPt(d.ckptId, d.baselineId, true)) return StepFailed(rt, "DeleteChkPt");
  rt.Say("deleted checkpoint " + d.ckptId + " and baseline " + d.baselineId);
  return PrintCheckpoints(rt, "") || StepFailed(rt, "GetChkPointsInfo");
}

struct Step {
  const char* title;
  bool (*run)(Runtime&);
};

// The tour, in the order it runs.
const Step kTour[] = {
    {"The server's data movers and VDMs (GetMoverNames)", MoversAndVdms},
    {"CIFS servers on the movers and VDMs (GetCifsServers)", CifsServersAndTheirMovers},
    {"The server's storage pools (GetStgPoolInfo)", StoragePools},
    {"List the file systems (GetFSInfo)", ListFileSystems},
    {"Inspect one file system (GetPFSInfo)", InspectTheFileSystem},
    {"Create a writeable checkpoint with a new baseline (CreateRWChkPt)", CreateTheCheckpoint},
    {"List the checkpoints (GetChkPointsInfo)", ListCheckpoints},
    {"Snapshot device name of a share inside the file system", SnapDeviceOfAShareInside},
    {"Snapshot device name when the share path does not tell it", SnapDeviceByMountSearch},
    {"Proof: the checkpoint's mount exists", TheCheckpointsMountExists},
    {"Asked again, the existing mount is found", AskedAgainTheMountIsFound},
    {"NFS: export the writeable checkpoint read-only to one host", NfsExport},
    {"NFS: look the export up, then list all exports", NfsLookUpAndList},
    {"NFS: remove the export (twice: a missing export counts as removed)", NfsRemoveTwice},
    {"CIFS: share the writeable checkpoint, look it up, list all shares", CifsShareLookUpAndList},
    {"CIFS: remove the share", CifsRemove},
    {"Offline archiving: connect fs1share to an archive share (twice: create, then update)", OfflineArchiving},
    {"Delete the writeable checkpoint with its baseline (DeleteChkPt)", DeleteTheCheckpoint},
};

}  // namespace

int RunDemo(Runtime& rt) {
  int n = 0;
  for (const Step& step : kTour) {
    rt.Say("");
    rt.Say("== " + std::to_string(++n) + ". " + step.title);
    if (!step.run(rt)) {
      rt.Say("demo stopped: step failed");
      return kFailed;
    }
  }
  rt.Say("");
  rt.Say("demo finished: " + std::to_string(n) + " steps");
  return kOk;
}

}  // namespace celcli
