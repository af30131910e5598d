// File-system queries: the detailed query of one production file system, the
// list of all file systems with capacity figures, and the name-by-id lookup.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraRecords.h"

// ------------------------------------------------------------ requests

class CelerraXMLGetPFSInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetPFSInfoReq();
  explicit CelerraXMLGetPFSInfoReq(unsigned long long jobId);
  ~CelerraXMLGetPFSInfoReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSId;
  std::string m_sPFSName;
};

class CelerraXMLGetFSInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetFSInfoReq();
  explicit CelerraXMLGetFSInfoReq(unsigned long long jobId);
  ~CelerraXMLGetFSInfoReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;
};

// Despite the name a pure lookup: the name of a file system given its id.
class CelerraXMLCreateFSNameReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLCreateFSNameReq();
  explicit CelerraXMLCreateFSNameReq(unsigned long long jobId);
  ~CelerraXMLCreateFSNameReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sFSId;
};

// ----------------------------------------------------------- responses

class CelerraXMLGetPFSInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetPFSInfoResp();
  explicit CelerraXMLGetPFSInfoResp(unsigned long long jobId);
  ~CelerraXMLGetPFSInfoResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string GetPFSId() { return m_sPFSId; }
  std::string GetPFSName() { return m_sPFSName; }
  eCelerraStgType GetStgType() { return m_eStgType; }
  std::string GetStgId() { return m_sStgId; }
  std::string GetSavVolId() { return m_sSavVolId; }
  std::string GetMoverId() { return m_sMoverId; }
  bool IsMoverVdm() { return m_bMoverIsVdm; }

  // Set by the caller before the exchange (what was asked for); filled from
  // the reply when empty.
  std::string m_sPFSId;
  std::string m_sPFSName;
  eCelerraStgType m_eStgType;
  std::string m_sStgId;
  std::string m_sSavVolId;
  std::string m_sMoverId;
  bool m_bMoverIsVdm;
};

class CelerraXMLGetFSInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetFSInfoResp();
  explicit CelerraXMLGetFSInfoResp(unsigned long long jobId);
  ~CelerraXMLGetFSInfoResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  void GetFSInfo(std::vector<CelerraFileSystem_t>& fileSystems) { fileSystems = m_vFileSystems; }
  bool IsSuccess() { return m_bSuccess; }

  std::vector<CelerraFileSystem_t> m_vFileSystems;
  bool m_bSuccess;
};

class CelerraXMLCreateFSNameResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLCreateFSNameResp();
  explicit CelerraXMLCreateFSNameResp(unsigned long long jobId);
  ~CelerraXMLCreateFSNameResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  void GetFSName(std::string& name) { name = m_sFSName; }
  void GetMoverId(std::string& moverId) { moverId = m_sMoverId; }
  // "true" and "false" set the flag; any other text leaves it as it was.
  void GetIfMoverVdm(bool& isVdm);

  std::string m_sFSName;
  std::string m_sMoverId;
  std::string m_sMoverIdIsVdm;
};
