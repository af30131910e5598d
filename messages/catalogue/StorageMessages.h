// Inventory queries: the server's storage pools and its iSCSI LUNs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraRecords.h"
#include "platform/CelerraExport.h"

class CelerraXMLGetStgPoolsInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetStgPoolsInfoReq();
  explicit CelerraXMLGetStgPoolsInfoReq(unsigned long long jobId);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetStgPoolsInfoReq"; }
};

class CelerraXMLGetLunInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetLunInfoReq();
  explicit CelerraXMLGetLunInfoReq(unsigned long long jobId);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetLunInfoReq"; }
};

class CelerraXMLGetStgPoolsInfoResp : public CelerraXMLMessageResp {
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

class CelerraXMLGetLunInfoResp : public CelerraXMLMessageResp {
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
