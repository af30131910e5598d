// Every public operation of the facade and both exported entry points, once:
// the fault matrix runs each against every fault, and the corpus maker runs
// each to collect the simulator's replies. A new operation added here is in
// both; one missing here is in neither.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "manage/ManageCelerra.h"
#include "manage/SnapDeviceName.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "sim/DatasetIds.h"
#include "sim/Simulator.h"
#include "tests/support/EchoMessages.h"

namespace celtest {

// The password of the archive server's account in the offline set-up.
constexpr const char* kArchivePassword = "Ark1v&pw=x";

struct Operation {
  const char* name;
  // Sends queries only, or reads a query's records before any task.
  bool queriesOnly;
  // Inputs the default dataset answers with success. Run in list order on
  // one control station, each leaves what the ones after it need: the
  // destructive ones come last.
  std::function<bool(ManageCelerra&)> good;
  // More inputs for the corpus: ones the dataset refuses (unknown ids and
  // names), objects that exist already, other shapes of the same request.
  // `address` is the control station's, for the self-contained entry point.
  std::function<void(ManageCelerra&, const std::string& address)> more;
};

// The integrator's own message of ProcessRequestAndResponse's good row is
// answered by this handler.
inline void AddEchoHandler(celsim::Simulator& sim) {
  sim.AddHandler("EchoQuery", [](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(); });
}

// GetMoverForVdm reports failure by throwing int 1; the others return false.
inline std::vector<Operation> EveryOperation(const std::string& user, const std::string& password) {
  using namespace celsim::ids;
  auto none = [](ManageCelerra&, const std::string&) {};
  return {
      {"ProcessRequestAndResponse", true,
       [](ManageCelerra& f) {
         EchoReq req(7);
         EchoResp resp(7);
         return f.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR);
       },
       [](ManageCelerra& m, const std::string&) {
         // Queries no operation sends.
         ReqMoverHostQueryParams hostReq(1);
         RespMoverHostQueryParams hostResp(1);
         m.ProcessRequestAndResponse(hostReq, hostResp, EvDebug::LVL_ERROR);
         ReqCifsConfigQueryParams configReq(1, kServer2, false);
         RespCifsConfigQueryParams configResp(1);
         m.ProcessRequestAndResponse(configReq, configResp, EvDebug::LVL_ERROR);
       }},
      {"GetPFSInfo", true,
       [](ManageCelerra& f) {
         std::string pfsId = kFs1, stgId, savVol, name, mover;
         eCelerraStgType type = STG_TYPE_NONE;
         bool vdm = false;
         return f.GetPFSInfo(pfsId, type, stgId, savVol, name, mover, vdm);
       },
       [](ManageCelerra& m, const std::string&) {
         eCelerraStgType type;
         bool vdm;
         std::string byName, stgId2, savVol2, name2 = "fs2", mover2;
         m.GetPFSInfo(byName, type, stgId2, savVol2, name2, mover2, vdm);
         std::string unknown = "4711", stgId3, savVol3, name3, mover3;
         m.GetPFSInfo(unknown, type, stgId3, savVol3, name3, mover3, vdm);
       }},
      {"GetFSInfo", true,
       [](ManageCelerra& f) {
         std::vector<CelerraFileSystem_t> v;
         return f.GetFSInfo(v);
       },
       none},
      {"GetFSNameByFSId", true,
       [](ManageCelerra& f) {
         std::string name, mover;
         bool vdm = false;
         return f.GetFSNameByFSId(kFs1, name, mover, vdm);
       },
       [](ManageCelerra& m, const std::string&) {
         std::string name, mover;
         bool vdm;
         m.GetFSNameByFSId(kVdmFs1, name, mover, vdm);
         m.GetFSNameByFSId(kFsUnmounted, name, mover, vdm);
         m.GetFSNameByFSId("4711", name, mover, vdm);
       }},
      {"CreateRWChkPt", false,
       [](ManageCelerra& f) {
         std::string base, id;
         return f.CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "mx_rw", true, base, id);
       },
       [](ManageCelerra& m, const std::string&) {
         std::string base, id;
         m.CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "mx_rw", true, base, id);  // already there
         std::string base2 = kFs1Ckpt1, id2;
         m.CreateRWChkPt(kFs2, STG_TYPE_VOLUME, kFs2Volume, "fs2_rw", false, base2, id2);
       }},
      {"CreateROChkPt", false,
       [](ManageCelerra& f) {
         std::string id;
         return f.CreateROChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "mx_ro", id);
       },
       [](ManageCelerra& m, const std::string&) {
         std::string id;
         m.CreateROChkPt("4711", STG_TYPE_POOL, kPerformancePool, "nofs_ro", id);
       }},
      {"GetChkPointInfo", true,
       [](ManageCelerra& f) {
         std::string id, base;
         return f.GetChkPointInfo("fs1_ckpt1", id, base);
       },
       [](ManageCelerra& m, const std::string&) {
         std::string id, base;
         m.GetChkPointInfo("no_such_ckpt", id, base);
       }},
      {"GetChkPointsInfo", true,
       [](ManageCelerra& f) {
         std::list<CelerraChkPtInfo> v;
         return f.GetChkPointsInfo("fs1_ckpt1", v);
       },
       [](ManageCelerra& m, const std::string&) {
         std::list<CelerraChkPtInfo> all;
         m.GetChkPointsInfo("", all);
       }},
      {"GetNFSInfo(share)", true,
       [](ManageCelerra& f) {
         std::string pfs, mover;
         bool ro = false;
         std::vector<std::string> a, rw, root;
         return f.GetNFSInfo("/fs1", pfs, ro, mover, a, rw, root);
       },
       [](ManageCelerra& m, const std::string&) {
         std::string pfs, mover;
         bool ro;
         std::vector<std::string> a, rw, root;
         m.GetNFSInfo("/nothing", pfs, ro, mover, a, rw, root);
       }},
      {"GetNFSInfo(all)", true,
       [](ManageCelerra& f) {
         std::vector<CelerraNFSInfo_t> v;
         return f.GetNFSInfo(v);
       },
       none},
      {"CreateNFSShare", false,
       [](ManageCelerra& f) {
         std::vector<std::string> a, rw, root;
         return f.CreateNFSShare("fs10", kServer2, false, a, rw, root);
       },
       [](ManageCelerra& m, const std::string&) {
         std::vector<std::string> a{"192.0.2.50"}, rw{"192.0.2.51", "192.0.2.52"}, root{"192.0.2.53"};
         m.CreateNFSShare("fs1_ckpt1", kServer2, false, a, rw, root);
         m.CreateNFSShare("nothing", kServer2, true, a, rw, root);
         m.DeleteNFSShare("/fs1_ckpt1", kServer2);
         m.DeleteNFSShare("/nothing", kServer2);
       }},
      {"NewCifsShare", false,
       [](ManageCelerra& f) { return f.NewCifsShare("mxshare", "/fs10", kServer2, false, {"CIFS_SRV1"}); },
       [](ManageCelerra& m, const std::string&) {
         m.NewCifsShare("vdmshare", "/vdmfs1", kVdm1, true, {});
         m.NewCifsShare("fs1share", "/fs1", kServer2, false, {});  // already there
         m.NewCifsShare("badshare", "/fs1", kServer2, false, {"NO_SUCH_SERVER"});
         m.DeleteCifsShare(kServer2, "mxshare", false, {"CIFS_SRV1"});
         m.DeleteCifsShare(kServer2, "noshare", false, {});
       }},
      {"GetCifsShareInfo", true,
       [](ManageCelerra& f) {
         std::string pfs, mover, name;
         bool vdm = false;
         std::vector<std::string> servers;
         return f.GetCifsShareInfo("fs1share", pfs, vdm, mover, name, servers);
       },
       [](ManageCelerra& m, const std::string&) {
         std::string pfs, mover, name;
         bool vdm;
         std::vector<std::string> servers;
         m.GetCifsShareInfo("noshare", pfs, vdm, mover, name, servers);
       }},
      {"GetCifsInfo", true,
       [](ManageCelerra& f) {
         std::vector<CelerraCIFSInfo_t> v;
         return f.GetCifsInfo(v);
       },
       none},
      {"GetMountPts", true,
       [](ManageCelerra& f) {
         std::vector<std::string> v;
         return f.GetMountPts(kServer2, "false", v);
       },
       [](ManageCelerra& m, const std::string&) {
         std::vector<std::string> paths;
         m.GetMountPts(kVdm1, "true", paths);
       }},
      {"GetMountPtsInfo", true,
       [](ManageCelerra& f) {
         std::vector<CelerraMountPointsInfo_t> v;
         return f.GetMountPtsInfo(v, "", false, "");
       },
       none},
      {"GetMountPointInfo", true,
       [](ManageCelerra& f) {
         CelerraMountPointsInfo_t m;
         return f.GetMountPointInfo(m, "/fs1", kServer2, false);
       },
       [](ManageCelerra& m, const std::string&) {
         CelerraMountPointsInfo_t mount;
         m.GetMountPointInfo(mount, "/nothing", kServer2, false);
       }},
      {"CreateMount", false,
       [](ManageCelerra& f) { return f.CreateMount("/mx_mount", kServer2, kFsUnmounted, "false"); },
       [](ManageCelerra& m, const std::string&) {
         m.CreateMount("/fs1_ckpt1_rw", kServer2, kFs1Ckpt1, "false");
         m.CreateMount("/x", kServer2, "4711", "false");
       }},
      {"GetMoverNames", true,
       [](ManageCelerra& f) {
         std::map<std::string, std::string> v;
         return f.GetMoverNames(v);
       },
       none},
      {"GetCifsServers", true,
       [](ManageCelerra& f) {
         std::vector<CelerraCifsServer_t> v;
         return f.GetCifsServers(v, "");
       },
       [](ManageCelerra& m, const std::string&) {
         std::vector<CelerraCifsServer_t> servers;
         m.GetCifsServers(servers, kServer2);
         m.GetCifsServers(servers, kVdm1);
       }},
      {"GetAliasList", true,
       [](ManageCelerra& f) {
         std::set<std::string> v;
         return f.GetAliasList("192.0.2.11", v);
       },
       [](ManageCelerra& m, const std::string&) {
         std::set<std::string> aliases;
         m.GetAliasList("192.0.2.10", aliases);
         m.GetAliasList("198.51.100.99", aliases);
       }},
      {"GetMoverForVdm", true,
       [](ManageCelerra& f) {
         std::string mover;
         return f.GetMoverForVdm(kVdm1, mover);
       },
       [](ManageCelerra& m, const std::string&) {
         std::string mover;
         try {
           m.GetMoverForVdm("4711", mover);
         } catch (...) {
         }
       }},
      {"GetStgPoolInfo", true,
       [](ManageCelerra& f) {
         std::vector<CelerraStgPoolInfo_t> v;
         return f.GetStgPoolInfo(v);
       },
       none},
      {"GetLunInfo", true,
       [](ManageCelerra& f) {
         std::vector<CelerraLunInfo_t> v;
         return f.GetLunInfo(v);
       },
       none},
      // The archive server arkiv1 has no connection yet and its address is
      // not among the mover's DHSM hosts, so the set-up runs every step.
      {"ConfigureFilerForOffLineServer", true,
       [](ManageCelerra& f) {
         return f.ConfigureFilerForOffLineServer("//CIFS_SRV1/fs1share", "//arkiv1/archive", "arkuser",
                                                 kArchivePassword, false, true, false);
       },
       [](ManageCelerra& m, const std::string&) {
         // One the file system already stubs to, and a share that is not there.
         m.ConfigureFilerForOffLineServer("//CIFS_SRV1/fs1share", "//archive.corp.example/fs1stubs", "arcuser",
                                          kArchivePassword, false, false, false);
         m.ConfigureFilerForOffLineServer("//CIFS_SRV1/noshare", "//arkiv1/stubs", "arcuser", kArchivePassword, true,
                                          false, false);
       }},
      {"Celerra_GetSnapDeviceNameWithManageCelerra", true,
       [](ManageCelerra& f) {
         std::string name;
         // /elsewhere is outside fs1: the mount list is searched.
         return Celerra_GetSnapDeviceNameWithManageCelerra(f, "/elsewhere", kFs1, kFs1Ckpt1, "fs1_ckpt1", name);
       },
       [user, password](ManageCelerra& m, const std::string& address) {
         std::string name;
         Celerra_GetSnapDeviceName(9, address, user, password, "/fs1/dir1", kFs1, kFs1Ckpt1, "fs1_ckpt1", name);
         Celerra_GetSnapDeviceNameWithManageCelerra(m, "/root_vdm_3/vdmfs1", kVdmFs1, kFs1Ckpt1, "fs1_ckpt1", name);
       }},
      {"RestorePFSFromChkPt", false,
       [](ManageCelerra& f) { return f.RestorePFSFromChkPt("fs1_ckpt1", kFs1Ckpt1, kFs1); },
       [](ManageCelerra& m, const std::string&) { m.RestorePFSFromChkPt("nothing", "4711", kFs1); }},
      {"DeleteCifsShare", false, [](ManageCelerra& f) { return f.DeleteCifsShare(kServer2, "fs1share", false, {}); },
       none},
      {"DeleteNFSShare", false, [](ManageCelerra& f) { return f.DeleteNFSShare("/fs1", kServer2); }, none},
      {"DeleteChkPt", false, [](ManageCelerra& f) { return f.DeleteChkPt(kFs1Ckpt1, "", false); },
       [](ManageCelerra& m, const std::string&) {
         m.DeleteChkPt(kFs1Ckpt1, "", false);  // already gone
         m.DeleteChkPt("4711", "4712", true);
       }},
  };
}

}  // namespace celtest
