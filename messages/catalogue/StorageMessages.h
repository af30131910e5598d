// Inventory queries: the server's storage pools and its iSCSI LUNs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "platform/CelerraExport.h"

// One storage pool. Sizes are stored as the server sends them.
struct CELERRA_API CelerraStgPoolInfo_t {
  std::string name;
  int pool;          // the pool's id
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
struct CELERRA_API CelerraLunInfo_t {
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

class CELERRA_API CelerraXMLGetStgPoolsInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetStgPoolsInfoReq();
  explicit CelerraXMLGetStgPoolsInfoReq(unsigned long long jobId);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetStgPoolsInfoReq"; }
};

class CELERRA_API CelerraXMLGetLunInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetLunInfoReq();
  explicit CelerraXMLGetLunInfoReq(unsigned long long jobId);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetLunInfoReq"; }
};

class CELERRA_API CelerraXMLGetStgPoolsInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetStgPoolsInfoResp();
  explicit CelerraXMLGetStgPoolsInfoResp(unsigned long long jobId);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetStgPoolsInfoResp"; }

  // Replaces `pools` with the parsed list.
  void GetStgPoolsInfo(std::vector<CelerraStgPoolInfo_t>& pools) const { pools = m_vStgPools; }
  bool IsSuccess() const { return m_bSuccess; }

 private:
  std::vector<CelerraStgPoolInfo_t> m_vStgPools;
  bool m_bSuccess;
};

class CELERRA_API CelerraXMLGetLunInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetLunInfoResp();
  explicit CelerraXMLGetLunInfoResp(unsigned long long jobId);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetLunInfoResp"; }

  // Replaces `luns` with the parsed list.
  void GetLunsInfo(std::vector<CelerraLunInfo_t>& luns) const { luns = m_vLuns; }
  bool IsSuccess() const { return m_bSuccess; }

 private:
  std::vector<CelerraLunInfo_t> m_vLuns;
  bool m_bSuccess;
};
