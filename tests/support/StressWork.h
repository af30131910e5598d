// The mixed workload of the concurrency stress test, shared by its threads
// and by the client processes it starts: read-only listings checked against
// the default dataset, and a checkpoint created under a name of the worker's
// own and deleted again. Each round sends the same number of requests, so
// every worker's session carries the same count.
#pragma once

#include <algorithm>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "manage/ManageCelerra.h"
#include "sim/DatasetIds.h"

namespace celstress {

using namespace celsim::ids;

template <class T, class Pred>
bool AnyOf(const T& items, Pred pred) {
  return std::any_of(items.begin(), items.end(), pred);
}

// One round; returns an empty text when every result was right, otherwise
// what was wrong.
inline std::string RunRound(ManageCelerra& f, unsigned long long worker, int round) {
  std::string why;
  auto check = [&why](bool ok, const char* what) {
    if (!ok && why.empty()) why = what;
  };

  std::vector<CelerraFileSystem_t> fs;
  check(f.GetFSInfo(fs) &&
            AnyOf(fs, [](const CelerraFileSystem_t& x) { return x.m_sFSId == kFs1 && x.m_sName == "fs1"; }),
        "GetFSInfo");
  std::string name, mover;
  bool vdm = true;
  check(f.GetFSNameByFSId(kFs2, name, mover, vdm) && name == "fs2" && mover == "2" && !vdm, "GetFSNameByFSId");
  std::list<CelerraChkPtInfo> ckpts;
  check(f.GetChkPointsInfo("fs1_ckpt1", ckpts) &&
            AnyOf(ckpts, [](const CelerraChkPtInfo& c) { return c.m_sChkPtId == kFs1Ckpt1 && c.m_sFSId == kFs1; }),
        "GetChkPointsInfo");
  std::vector<CelerraMountPointsInfo_t> mounts;
  check(f.GetMountPtsInfo(mounts, "", false, "") &&
            AnyOf(mounts, [](const CelerraMountPointsInfo_t& m) { return m.path == "/fs2" && m.fileSystem == kFs2; }),
        "GetMountPtsInfo");
  std::vector<CelerraNFSInfo_t> exports;
  check(f.GetNFSInfo(exports) &&
            AnyOf(exports, [](const CelerraNFSInfo_t& e) { return e.path == "/fs1" && e.fileSystem == kFs1; }),
        "GetNFSInfo");
  std::vector<CelerraCIFSInfo_t> shares;
  check(f.GetCifsInfo(shares) &&
            AnyOf(shares, [](const CelerraCIFSInfo_t& s) { return s.name == "fs1share" && s.fileSystem == kFs1; }),
        "GetCifsInfo");
  std::map<std::string, std::string> movers;
  check(f.GetMoverNames(movers) && movers["1"] == "server_2" && movers["2"] == "server_3", "GetMoverNames");
  std::vector<CelerraStgPoolInfo_t> pools;
  check(f.GetStgPoolInfo(pools) && AnyOf(pools, [](const CelerraStgPoolInfo_t& p) { return p.pool == 40; }) &&
            AnyOf(pools, [](const CelerraStgPoolInfo_t& p) { return p.pool == 41; }),
        "GetStgPoolInfo");

  // A checkpoint of this worker's own: made, found under its name, removed.
  const std::string ckName = "st_" + std::to_string(worker) + "_" + std::to_string(round);
  std::string ckId, foundId, base;
  check(f.CreateROChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, ckName, ckId) && !ckId.empty(), "CreateROChkPt");
  check(f.GetChkPointInfo(ckName, foundId, base) && foundId == ckId, "GetChkPointInfo");
  check(!ckId.empty() && f.DeleteChkPt(ckId, "", false), "DeleteChkPt");
  std::list<CelerraChkPtInfo> gone;
  // The deleted checkpoint is no longer listed under its name.
  check(!f.GetChkPointsInfo(ckName, gone) || gone.empty(), "GetChkPointsInfo after delete");
  return why;
}

}  // namespace celstress
