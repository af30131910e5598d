// NFS exports of a file system or checkpoint on a data mover: the export
// query (one export by path, or all of them), the new-export task and the
// delete-export task. An export is named by its path, always written with
// one leading slash; the library calls that path the share name.
#pragma once

#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraRecords.h"

// ------------------------------------------------------------------ requests

// The export query: the export at m_sShareName, or every export when
// bAllShares is set (the share name is then ignored).
class CelerraXMLGetNFSInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetNFSInfoReq();
  explicit CelerraXMLGetNFSInfoReq(unsigned long long jobId);
  ~CelerraXMLGetNFSInfoReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sShareName;
  bool bAllShares = false;
};

// Exports m_sPFSOrChkPtName (which becomes the export path) on a mover.
class CelerraXMLCreateNFSShareReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLCreateNFSShareReq();
  explicit CelerraXMLCreateNFSShareReq(unsigned long long jobId);
  ~CelerraXMLCreateNFSShareReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSOrChkPtName;
  std::string m_sMoverId;
  bool m_bReadOnly = false;
  std::vector<std::string> m_vAccessHosts;
  std::vector<std::string> m_vRwHosts;
  std::vector<std::string> m_vRootHosts;
};

// Removes the export at m_sShareName from a mover.
class CelerraXMLDeleteNFSShareReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLDeleteNFSShareReq();
  explicit CelerraXMLDeleteNFSShareReq(unsigned long long jobId);
  ~CelerraXMLDeleteNFSShareReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sShareName;
  std::string m_sMoverId;
};

// ----------------------------------------------------------------- responses

// The one export looked up by path. The caller sets m_sShareName (the path
// it asked for) before sending; a reply about any other path is refused.
class CelerraXMLGetNFSInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetNFSInfoResp();
  explicit CelerraXMLGetNFSInfoResp(unsigned long long jobId);
  ~CelerraXMLGetNFSInfoResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string GetPFSId() { return m_sPFSId; }
  bool IsShareReadOnly() { return m_bReadOnly; }
  std::string GetMoverId() { return m_sMoverId; }
  void GetAccessHostsForShare(std::vector<std::string>& hosts) { hosts = m_vAccessHosts; }
  void GetRWHostsForShare(std::vector<std::string>& hosts) { hosts = m_vRwHosts; }
  void GetRootHostsForShare(std::vector<std::string>& hosts) { hosts = m_vRootHosts; }

  std::string m_sPFSId;
  bool m_bReadOnly = false;
  std::string m_sMoverId;
  std::vector<std::string> m_vAccessHosts;
  std::vector<std::string> m_vRwHosts;
  std::vector<std::string> m_vRootHosts;
  std::string m_sShareName;
};

// Every export, one record each, in reply order.
class CelerraXMLGetAllNFSInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetAllNFSInfoResp();
  explicit CelerraXMLGetAllNFSInfoResp(unsigned long long jobId);
  ~CelerraXMLGetAllNFSInfoResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  void GetNfsInfo(std::vector<CelerraNFSInfo_t>& exports) { exports = m_vNfsInfo; }
  bool IsSuccess() { return m_bSuccess; }

  std::vector<CelerraNFSInfo_t> m_vNfsInfo;
  bool m_bSuccess = false;
};

// The new-export task. "Already exists" counts as success.
class CelerraXMLCreateNFSShareResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLCreateNFSShareResp();
  explicit CelerraXMLCreateNFSShareResp(unsigned long long jobId);
  ~CelerraXMLCreateNFSShareResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSOrChkPtName;
};

// The delete-export task.
class CelerraXMLDeleteNFSShareResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLDeleteNFSShareResp();
  explicit CelerraXMLDeleteNFSShareResp(unsigned long long jobId);
  ~CelerraXMLDeleteNFSShareResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sShareName;
  std::string m_sMoverId;
};
