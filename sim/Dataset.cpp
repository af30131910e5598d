#include "sim/DatasetIds.h"
#include "sim/Model.h"

namespace celsim {

FileSystem* Model::FindFs(const std::string& id) {
  for (auto& fs : fileSystems)
    if (fs.id == id) return &fs;
  return nullptr;
}

FileSystem* Model::FindFsByName(const std::string& name) {
  for (auto& fs : fileSystems)
    if (fs.name == name) return &fs;
  return nullptr;
}

Mover* Model::FindMover(const std::string& id) {
  for (auto& m : movers)
    if (m.id == id) return &m;
  return nullptr;
}

namespace {

FileSystem PoolFs(const std::string& id, const std::string& name, const std::string& mover, bool vdm,
                  const std::string& pool) {
  FileSystem fs;
  fs.id = id;
  fs.name = name;
  fs.moverId = mover;
  fs.moverIsVdm = vdm;
  fs.poolId = pool;
  fs.storagePools = {std::stoi(pool)};
  fs.volumeSize = 10240;
  fs.spaceTotal = 10079;
  fs.spaceUsed = 1203;
  fs.filesTotal = 1294336;
  fs.filesUsed = 2048;
  return fs;
}

}  // namespace

Model DefaultModel(int scale) {
  using namespace ids;
  Model m;
  // Movers: two physical data movers and one VDM hosted by the first. The
  // addresses come from the documentation ranges; nothing is ever sent there.
  Mover s2;
  s2.id = kServer2;
  s2.name = "server_2";
  s2.dnsDomains = {"corp.example"};
  s2.interfaces = {{"cge0-1", "cge0", "192.0.2.10"},
                   {"cge0-2", "cge0", "192.0.2.11"},
                   {"cge1-1", "cge1", "192.0.2.20"},
                   {"el30", "el30", "198.51.100.2"}};
  s2.httpValidHosts = {"192.0.2.200"};
  Mover s3;
  s3.id = kServer3;
  s3.name = "server_3";
  s3.dnsDomains = {"corp.example"};
  s3.interfaces = {{"cge0-1", "cge0", "192.0.2.30"}};
  Mover vdm;
  vdm.id = kVdm1;
  vdm.name = "vdm_1";
  vdm.isVdm = true;
  vdm.hostMoverId = kServer2;
  m.movers = {s2, s3, vdm};

  m.pools = {{kPerformancePool,
              "clar_r5_performance",
              5497558138880LL,
              1099511627776LL,
              {kServer2, kServer3},
              "RAID5 performance"},
             {kArchivePool, "clarsas_archive", 17592186044416LL, 0, {kServer2}, "archive"}};

  // File systems: pool-based, volume-based, a name that has fs1 as prefix,
  // one on the VDM, and one that is not mounted.
  FileSystem fs1 = PoolFs(kFs1, "fs1", kServer2, false, kPerformancePool);
  fs1.savVolId = kFs1SavVol;
  FileSystem fs2 = PoolFs(kFs2, "fs2", kServer3, false, kArchivePool);
  fs2.poolId.clear();
  fs2.storagePools.clear();
  fs2.volumeId = kFs2Volume;
  FileSystem fs10 = PoolFs(kFs10, "fs10", kServer2, false, kPerformancePool);
  FileSystem vdmfs = PoolFs(kVdmFs1, "vdmfs1", kVdm1, true, kPerformancePool);
  FileSystem idle = PoolFs(kFsUnmounted, "fs_unmounted", "", false, kArchivePool);
  idle.mounted = false;
  idle.volumeSize = idle.spaceTotal = idle.spaceUsed = idle.filesTotal = idle.filesUsed = 0;
  FileSystem ck = PoolFs(kFs1Ckpt1, "fs1_ckpt1", kServer2, false, kPerformancePool);
  ck.type = "ckpt";
  ck.isCheckpoint = true;
  ck.checkpointOf = kFs1;
  ck.time = "2026-12-01 02:00:00";
  m.fileSystems = {fs1, fs2, fs10, vdmfs, idle, ck};

  m.mounts = {{"/fs1", kFs1, kServer2, false, false},
              {"/fs2", kFs2, kServer3, false, false},
              {"/fs10", kFs10, kServer2, false, false},
              {"/vdmfs1", kVdmFs1, kVdm1, true, false},
              {"/fs1_ckpt1", kFs1Ckpt1, kServer2, false, true}};
  m.exports = {{"/fs1", kFs1, kServer2, false, {"192.0.2.100"}, {"192.0.2.100"}, {}}};
  m.shares = {{"fs1share", "/fs1", kFs1, kServer2, false, {"CIFS_SRV1"}}};
  m.cifsServers = {{"CIFS_SRV1", kServer2, false, "corp.example", {"192.0.2.10"}, {"CIFS_SRV1_ALIAS"}},
                   {"VDMCIFS", kVdm1, true, "corp.example", {"192.0.2.20"}, {}}};
  m.luns = {{"1", "iqn.1992-05.com.example:target1", kFs1, kServer2, 5368709120LL, "/fs1/lun1"}};

  // Offline archiving (DHSM): fs1 already stubs to an archive server, over
  // CIFS and over HTTP; its offline attribute is off.
  {
    DhsmConnection cifs;
    cifs.id = "1";
    cifs.fsId = kFs1;
    cifs.kind = "cifs";
    cifs.server = "archive.corp.example";
    cifs.share = "fs1stubs";
    cifs.user = "arcuser";
    cifs.localServer = "CIFS_SRV1";
    cifs.readPolicyOverride = "full";
    cifs.vendorId = "1";
    DhsmConnection http;
    http.id = "2";
    http.fsId = kFs1;
    http.kind = "http";
    http.server = "archive.corp.example";
    http.share = "/dhsm/fs1";
    http.port = "8080";
    http.cgi = true;
    m.dhsmConnections = {cifs, http};
    m.dhsmOfflineAttr[kFs1] = "false";
  }
  // Mover queries: DNS servers, and a data port with no address on server_2.
  if (Mover* mover = m.FindMover(kServer2)) {
    mover->dnsServers = {"192.0.2.53", "192.0.2.54"};
    mover->idleDevices = {"cge2"};
  }
  if (Mover* mover = m.FindMover(kServer3)) mover->dnsServers = {"192.0.2.53"};

  // Exports and shares beyond the first: a share that a VDM serves through
  // its own CIFS server.
  m.shares.push_back({"vdmshare", "/vdmfs1", kVdmFs1, kVdm1, true, {"VDMCIFS"}});

  for (int i = 0; i < scale; ++i) {
    std::string n = std::to_string(i);
    FileSystem fs = PoolFs(std::to_string(100000 + i), "gen_fs" + n, kServer2, false, kPerformancePool);
    m.fileSystems.push_back(fs);
    FileSystem c = fs;
    c.id = std::to_string(200000 + i);
    c.name = "gen_ckpt" + n;
    c.type = "ckpt";
    c.isCheckpoint = true;
    c.checkpointOf = fs.id;
    c.time = "2026-12-01 03:00:00";
    m.fileSystems.push_back(c);
    m.exports.push_back({"/gen_fs" + n, fs.id, kServer2, false, {"192.0.2.100"}, {}, {}});
    m.shares.push_back({"gen_share" + n, "/gen_fs" + n, fs.id, kServer2, false, {"CIFS_SRV1"}});
  }
  return m;
}

}  // namespace celsim
