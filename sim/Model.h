// The simulated control station's view of the file server. Plain data,
// guarded by the simulator's lock while a handler runs. Each message group's
// handlers read and change the parts they serve.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace celsim {

struct Interface {
  std::string name;     // logical interface name, e.g. "cge0-1"
  std::string device;   // network device, e.g. "cge0"; non-cge devices exist too
  std::string address;  // IP address
};

struct Mover {
  std::string id;
  std::string name;  // "server_2"
  bool isVdm = false;
  std::string hostMoverId;  // for a VDM: the physical mover that runs it
  std::string role = "primary";
  std::vector<std::string> dnsDomains;
  std::vector<Interface> interfaces;
  std::vector<std::string> httpValidHosts;  // DHSM HTTP feature: hosts allowed
  // The rest of the DHSM HTTP feature.
  std::vector<std::string> httpUsers;
  bool httpAnyUser = false;
  std::string httpPort = "5080";
  std::string httpServiceState = "running";
  std::string httpAuthentication = "digest";
  // Mover queries: the DNS servers of the mover's domains, and network
  // devices without any address (devices with addresses come from
  // `interfaces`).
  std::vector<std::string> dnsServers;
  std::vector<std::string> idleDevices;
};

// A file system or a checkpoint (checkpoints are file systems of their own
// on the server, with their own ids).
struct FileSystem {
  std::string id;
  std::string name;
  std::string type = "uxfs";  // checkpoints: "ckpt"
  std::string moverId;        // read/write host; empty when unmounted
  bool moverIsVdm = false;
  // storage: pool-based (poolId) or volume-based (volumeId)
  std::string poolId;
  std::string volumeId;
  std::vector<int> storagePools;
  int64_t volumeSize = 0;
  int64_t spaceTotal = 0;
  int64_t spaceUsed = 0;
  int64_t filesTotal = 0;
  int64_t filesUsed = 0;
  bool mounted = true;  // an unmounted file system has no capacity figures
  // checkpoints
  bool isCheckpoint = false;
  std::string checkpointOf;  // production file system id
  std::string baselineId;    // writeable checkpoint: its baseline checkpoint
  bool writeable = false;
  std::string time;      // creation time text
  std::string savVolId;  // production file system: checkpoint save volume, once checkpoints exist
  std::vector<std::string> policies;
};

struct Mount {
  std::string path;
  std::string fsId;
  std::string moverId;
  bool moverIsVdm = false;
  bool readOnly = false;
};

struct NfsExport {
  std::string path;
  std::string fsId;
  std::string moverId;
  bool readOnly = false;
  std::vector<std::string> accessHosts;
  std::vector<std::string> rwHosts;
  std::vector<std::string> rootHosts;
};

struct CifsShare {
  std::string name;
  std::string path;
  std::string fsId;
  std::string moverId;
  bool moverIsVdm = false;
  std::vector<std::string> servers;
};

struct CifsServer {
  std::string name;
  std::string moverId;
  bool moverIsVdm = false;
  std::string domain;
  std::vector<std::string> interfaces;  // addresses
  std::vector<std::string> aliases;
};

struct StoragePool {
  std::string id;
  std::string name;
  int64_t size = 0;
  int64_t usedSize = 0;
  std::vector<std::string> movers;
  std::string description;
};

struct Lun {
  std::string id;
  std::string target;
  std::string fsId;
  std::string moverId;
  int64_t size = 0;
  std::string path;
};

struct DhsmConnection {
  std::string id;
  std::string fsId;
  std::string kind = "cifs";  // "cifs" or "http"
  std::string server;         // secondary server host
  std::string share;          // secondary share (CIFS) or URL path (HTTP)
  std::string user;
  std::string localServer;
  std::string state = "enabled";
  // Settings both kinds share, and the HTTP kind's own.
  std::string readPolicyOverride = "none";
  std::string writePolicy = "full";
  std::string vendorId;
  std::string winsServer;
  std::string port;  // HTTP
  bool cgi = false;  // HTTP
};

struct Model {
  std::vector<Mover> movers;
  std::vector<FileSystem> fileSystems;
  std::vector<Mount> mounts;
  std::vector<NfsExport> exports;
  std::vector<CifsShare> shares;
  std::vector<CifsServer> cifsServers;
  std::vector<StoragePool> pools;
  std::vector<Lun> luns;
  std::vector<DhsmConnection> dhsmConnections;
  std::map<std::string, std::string> dhsmOfflineAttr;  // file-system id -> "true"/"false"
  std::set<std::string> deletedIds;                    // checkpoints deleted by a task
  int nextId = 1000;                                   // ids handed out by tasks
  int nextTaskId = 1;

  std::string NewId() { return std::to_string(nextId++); }
  FileSystem* FindFs(const std::string& id);
  FileSystem* FindFsByName(const std::string& name);
  Mover* FindMover(const std::string& id);
};

// The built-in dataset; `scale` adds that many generated file systems,
// checkpoints, exports and shares.
Model DefaultModel(int scale);

}  // namespace celsim
