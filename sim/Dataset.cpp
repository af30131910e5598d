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
  Model m;
  // Movers: two physical data movers and one VDM hosted by the first. The
  // addresses come from the documentation ranges; nothing is ever sent there.
  Mover s2;
  s2.id = "1";
  s2.name = "server_2";
  s2.dnsDomains = {"corp.example"};
  s2.interfaces = {{"cge0-1", "cge0", "192.0.2.10"},
                   {"cge0-2", "cge0", "192.0.2.11"},
                   {"cge1-1", "cge1", "192.0.2.20"},
                   {"el30", "el30", "198.51.100.2"}};
  s2.httpValidHosts = {"192.0.2.200"};
  Mover s3;
  s3.id = "2";
  s3.name = "server_3";
  s3.dnsDomains = {"corp.example"};
  s3.interfaces = {{"cge0-1", "cge0", "192.0.2.30"}};
  Mover vdm;
  vdm.id = "3";
  vdm.name = "vdm_1";
  vdm.isVdm = true;
  vdm.hostMoverId = "1";
  m.movers = {s2, s3, vdm};

  m.pools = {{"40", "clar_r5_performance", 5497558138880LL, 1099511627776LL, {"1", "2"}, "RAID5 performance"},
             {"41", "clarsas_archive", 17592186044416LL, 0, {"1"}, "archive"}};

  // File systems: pool-based, volume-based, a name that has fs1 as prefix,
  // one on the VDM, and one that is not mounted.
  FileSystem fs1 = PoolFs("21", "fs1", "1", false, "40");
  fs1.savVolId = "101";
  FileSystem fs2 = PoolFs("22", "fs2", "2", false, "41");
  fs2.poolId.clear();
  fs2.storagePools.clear();
  fs2.volumeId = "300";
  FileSystem fs10 = PoolFs("23", "fs10", "1", false, "40");
  FileSystem vdmfs = PoolFs("24", "vdmfs1", "3", true, "40");
  FileSystem idle = PoolFs("25", "fs_unmounted", "", false, "41");
  idle.mounted = false;
  idle.volumeSize = idle.spaceTotal = idle.spaceUsed = idle.filesTotal = idle.filesUsed = 0;
  FileSystem ck = PoolFs("31", "fs1_ckpt1", "1", false, "40");
  ck.type = "ckpt";
  ck.isCheckpoint = true;
  ck.checkpointOf = "21";
  ck.time = "2026-12-01 02:00:00";
  m.fileSystems = {fs1, fs2, fs10, vdmfs, idle, ck};

  m.mounts = {{"/fs1", "21", "1", false, false},
              {"/fs2", "22", "2", false, false},
              {"/fs10", "23", "1", false, false},
              {"/vdmfs1", "24", "3", true, false},
              {"/fs1_ckpt1", "31", "1", false, true}};
  m.exports = {{"/fs1", "21", "1", false, {"192.0.2.100"}, {"192.0.2.100"}, {}}};
  m.shares = {{"fs1share", "/fs1", "21", "1", false, {"CIFS_SRV1"}}};
  m.cifsServers = {{"CIFS_SRV1", "1", false, "corp.example", {"192.0.2.10"}, {"CIFS_SRV1_ALIAS"}},
                   {"VDMCIFS", "3", true, "corp.example", {"192.0.2.20"}, {}}};
  m.luns = {{"1", "iqn.1992-05.com.example:target1", "21", "1", 5368709120LL, "/fs1/lun1"}};

  // Offline archiving (DHSM): fs1 already stubs to an archive server, over
  // CIFS and over HTTP; its offline attribute is off.
  {
    DhsmConnection cifs;
    cifs.id = "1";
    cifs.fsId = "21";
    cifs.kind = "cifs";
    cifs.server = "archive.corp.example";
    cifs.share = "fs1stubs";
    cifs.user = "arcuser";
    cifs.localServer = "CIFS_SRV1";
    cifs.readPolicyOverride = "full";
    cifs.vendorId = "1";
    DhsmConnection http;
    http.id = "2";
    http.fsId = "21";
    http.kind = "http";
    http.server = "archive.corp.example";
    http.share = "/dhsm/fs1";
    http.port = "8080";
    http.cgi = true;
    m.dhsmConnections = {cifs, http};
    m.dhsmOfflineAttr["21"] = "false";
  }
  // Mover queries: DNS servers, and a data port with no address on server_2.
  if (Mover* mover = m.FindMover("1")) {
    mover->dnsServers = {"192.0.2.53", "192.0.2.54"};
    mover->idleDevices = {"cge2"};
  }
  if (Mover* mover = m.FindMover("2")) mover->dnsServers = {"192.0.2.53"};

  // Exports and shares beyond the first: a share that a VDM serves through
  // its own CIFS server.
  m.shares.push_back({"vdmshare", "/vdmfs1", "24", "3", true, {"VDMCIFS"}});

  for (int i = 0; i < scale; ++i) {
    std::string n = std::to_string(i);
    FileSystem fs = PoolFs(std::to_string(100000 + i), "gen_fs" + n, "1", false, "40");
    m.fileSystems.push_back(fs);
    FileSystem c = fs;
    c.id = std::to_string(200000 + i);
    c.name = "gen_ckpt" + n;
    c.type = "ckpt";
    c.isCheckpoint = true;
    c.checkpointOf = fs.id;
    c.time = "2026-12-01 03:00:00";
    m.fileSystems.push_back(c);
    m.exports.push_back({"/gen_fs" + n, fs.id, "1", false, {"192.0.2.100"}, {}, {}});
    m.shares.push_back({"gen_share" + n, "/gen_fs" + n, fs.id, "1", false, {"CIFS_SRV1"}});
  }
  return m;
}

}  // namespace celsim
