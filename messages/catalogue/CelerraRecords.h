// The records that operations hand to their callers: plain values, copied
// into the caller's containers. Installed with the facade; nothing here needs
// the message classes or the platform layer, and every member function is
// inline, so the records cost the library no exported symbols.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One file system of the list reply.
struct CelerraFileSystem_t {
  std::string m_sName;
  std::string m_sFSId;
  std::string m_sType;
  std::string m_sMoverId;
  std::vector<int> m_vStoragePools;
  int64_t m_nVolumeSize;
  int64_t m_nSpaceTotal;
  int64_t m_nSpaceUsed;
  int64_t m_nFilesUsed;
  int64_t m_nFilesTotal;

  CelerraFileSystem_t() { clear(); }
  void clear() {
    m_sName.clear();
    m_sFSId.clear();
    m_sType.clear();
    m_sMoverId.clear();
    m_vStoragePools.clear();
    m_nVolumeSize = 0;
    m_nSpaceTotal = 0;
    m_nSpaceUsed = 0;
    m_nFilesUsed = 0;
    m_nFilesTotal = 0;
  }
};

// One checkpoint of the list reply.
struct CelerraChkPtInfo {
  std::string m_sChkPtId;
  std::string m_sBaseChkPtId;  // baseline of a writeable checkpoint; may be empty
  std::string m_sFSId;         // production file system
  std::string m_sChkPtName;
};

// One NFS export as the all-exports query reports it. The host lists are
// part of the record but no reply fills them.
struct CelerraNFSInfo_t {
  std::string path;
  std::string fileSystem;
  bool readOnly = false;
  std::string mover;
  std::vector<std::string> accessHosts;
  std::vector<std::string> rwHosts;
  std::vector<std::string> rootHosts;

  void clear() { *this = CelerraNFSInfo_t(); }
};

// One CIFS share as the all-shares query reports it.
struct CelerraCIFSInfo_t {
  std::string name;
  std::string path;
  std::string fileSystem;
  std::string mover;
  bool moverIdIsVdm = false;
  std::vector<std::string> cifsServers;

  void clear() { *this = CelerraCIFSInfo_t(); }
};

// One mount as the server reports it.
struct CelerraMountPointsInfo_t {
  std::string mover;         // id of the mover or VDM that mounts the file system
  std::string fileSystem;    // id of the mounted file system
  std::string path;          // mount path on that mover
  std::string moverIdIsVdm;  // "true" or "false" as sent: whether `mover` names a VDM

  void clear() {
    mover.clear();
    fileSystem.clear();
    path.clear();
    moverIdIsVdm.clear();
  }
};

// One CIFS server as the server lists it.
struct CelerraCifsServer_t {
  std::string mover;         // id of the mover or VDM it runs on
  std::string name;          // CIFS server name
  std::string interfaces;    // the server's interface list, as sent
  std::string moverIdIsVdm;  // "true" or "false", as sent

  CelerraCifsServer_t() { clear(); }
  void clear() {
    mover.clear();
    name.clear();
    interfaces.clear();
    moverIdIsVdm.clear();
  }
};

// One storage pool. Sizes are stored as the server sends them.
struct CelerraStgPoolInfo_t {
  std::string name;
  int pool;  // the pool's id
  int64_t usedSize;
  int64_t size;
  std::vector<std::string> movers;  // ids of the movers that use the pool

  CelerraStgPoolInfo_t() { clear(); }
  void clear() {
    name.clear();
    pool = 0;
    usedSize = 0;
    size = 0;
    movers.clear();
  }
};

// One iSCSI LUN.
struct CelerraLunInfo_t {
  std::string name;
  int64_t size;
  std::string fileSystem;  // id of the file system that holds it
  int lun;                 // the LUN number

  CelerraLunInfo_t() { clear(); }
  void clear() {
    size = 0;
    lun = 0;
    name.clear();
    fileSystem.clear();
  }
};
