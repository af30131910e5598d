// CIFS (Windows) shares on a data mover or VDM: the single-share query, the
// all-shares query, the new-share task and the delete-share task. Share
// names travel without a leading slash.
#pragma once

#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraRecords.h"

// ------------------------------------------------------------------ requests

// The share named m_sShareName.
class ReqCifsShareQueryParams : public CelerraXMLMessageReq {
 public:
  ReqCifsShareQueryParams();
  explicit ReqCifsShareQueryParams(unsigned long long jobId);
  ~ReqCifsShareQueryParams() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sShareName;
};

// Every share.
class CelerraXMLGetCifsInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetCifsInfoReq();
  explicit CelerraXMLGetCifsInfoReq(unsigned long long jobId);
  ~CelerraXMLGetCifsInfoReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;
};

// A new share of m_sPath on a mover or VDM, offered through the named CIFS
// servers. Keeps the base message name; GetMessage() names it.
class ReqCreateCifsShare : public CelerraXMLMessageReq {
 public:
  ReqCreateCifsShare();
  explicit ReqCreateCifsShare(unsigned long long jobId);
  ~ReqCreateCifsShare() override;
  bool SerializeXML() override;
  virtual const char* GetMessage();

  std::string m_sShareName;
  std::string m_sPath;
  std::string m_sMoverId;
  bool m_bMoverIdIsVdm = false;
  std::vector<std::string> m_vCifsServers;
};

// Removes a share from a mover or VDM. Keeps the base message name;
// GetMessage() names it.
class ReqDeleteCifsShare : public CelerraXMLMessageReq {
 public:
  ReqDeleteCifsShare();
  explicit ReqDeleteCifsShare(unsigned long long jobId);
  ~ReqDeleteCifsShare() override;
  bool SerializeXML() override;
  virtual const char* GetMessage();

  std::string m_sShareName;
  std::string m_sMoverId;
  bool m_bMoverIdIsVdm = false;
  std::vector<std::string> m_vCifsServers;
};

// ----------------------------------------------------------------- responses

// The one share looked up by name. The caller sets m_sShareName before
// sending; a reply about any other share is refused.
class RespCifsShareQueryParams : public CelerraXMLMessageResp {
 public:
  RespCifsShareQueryParams();
  explicit RespCifsShareQueryParams(unsigned long long jobId);
  ~RespCifsShareQueryParams() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string GetPFSId() { return m_sPFSId; }
  std::string GetMoverId() { return m_sMoverId; }
  std::string GetName() { return m_sName; }
  bool IsMoverVdm() { return m_bMoverIdIsVdm; }
  void GetCifsServersForShare(std::vector<std::string>& servers) { servers = m_vCifsServers; }

  std::string m_sPath;
  std::string m_sPFSId;
  std::string m_sName;
  bool m_bMoverIdIsVdm = false;
  std::string m_sMoverId;
  std::string m_sShareName;
  std::vector<std::string> m_vCifsServers;
};

// Every share, one record each, in reply order.
class CelerraXMLGetCifsInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetCifsInfoResp();
  explicit CelerraXMLGetCifsInfoResp(unsigned long long jobId);
  ~CelerraXMLGetCifsInfoResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  void GetCifsInfo(std::vector<CelerraCIFSInfo_t>& shares) { shares = m_vCifsInfo; }
  bool IsSuccess() { return m_bSuccess; }

  std::vector<CelerraCIFSInfo_t> m_vCifsInfo;
  bool m_bSuccess = false;
};

// The new-share task. "Already exists" counts as success.
class RespCreateCifsShare : public CelerraXMLMessageResp {
 public:
  RespCreateCifsShare();
  explicit RespCreateCifsShare(unsigned long long jobId);
  ~RespCreateCifsShare() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sShareName;
};

// The delete-share task.
class RespDeleteCifsShare : public CelerraXMLMessageResp {
 public:
  RespDeleteCifsShare();
  explicit RespDeleteCifsShare(unsigned long long jobId);
  ~RespDeleteCifsShare() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sShareName;
  std::string m_sMoverId;
};
