// Checkpoint messages: the checkpoint list query and the create (writeable
// and read-only), delete and restore tasks.
#pragma once

#include <list>
#include <string>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraRecords.h"

// ------------------------------------------------------------ requests

class CelerraXMLGetChkPtInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetChkPtInfoReq();
  explicit CelerraXMLGetChkPtInfoReq(unsigned long long jobId);
  ~CelerraXMLGetChkPtInfoReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sChkPtName;  // empty selects every checkpoint
};

class CelerraXMLCreateRWChkPtReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLCreateRWChkPtReq();
  explicit CelerraXMLCreateRWChkPtReq(unsigned long long jobId);
  ~CelerraXMLCreateRWChkPtReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSId;
  eCelerraStgType m_eStgType;
  std::string m_sStgId;
  std::string m_sChkPtName;
  bool m_bCreateBaseLine;
  std::string m_sBaseLineChkPtId;
};

class CelerraXMLCreateROChkPtReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLCreateROChkPtReq();
  explicit CelerraXMLCreateROChkPtReq(unsigned long long jobId);
  ~CelerraXMLCreateROChkPtReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSId;
  eCelerraStgType m_eStgType;
  std::string m_sStgId;
  std::string m_sChkPtName;
};

class CelerraXMLDeleteChkPtReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLDeleteChkPtReq();
  explicit CelerraXMLDeleteChkPtReq(unsigned long long jobId);
  ~CelerraXMLDeleteChkPtReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sChkPtId;
  std::string m_sBaseLineChkPtId;
  bool m_bDeleteBaseLine;  // force-delete the baseline instead of the checkpoint
};

class CelerraXMLRestorePFSFromChkPtReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLRestorePFSFromChkPtReq();
  explicit CelerraXMLRestorePFSFromChkPtReq(unsigned long long jobId);
  ~CelerraXMLRestorePFSFromChkPtReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sChkPtId;  // the only value sent
  std::string m_sPFSId;
  std::string m_sChkPtName;
};

// ----------------------------------------------------------- responses

class CelerraXMLGetChkPtInfoResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetChkPtInfoResp();
  explicit CelerraXMLGetChkPtInfoResp(unsigned long long jobId);
  ~CelerraXMLGetChkPtInfoResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  bool GetChkPts(std::list<CelerraChkPtInfo>& chkPts) {
    chkPts = m_lChkPts;
    return true;
  }

  std::list<CelerraChkPtInfo> m_lChkPts;
  std::string m_sChkPtName;  // the name asked for, empty for all
};

class CelerraXMLCreateRWChkPtResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLCreateRWChkPtResp();
  explicit CelerraXMLCreateRWChkPtResp(unsigned long long jobId);
  ~CelerraXMLCreateRWChkPtResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSId;
  std::string m_sBaseLineChkPtId;
  std::string m_sChkPtName;
};

class CelerraXMLCreateROChkPtResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLCreateROChkPtResp();
  explicit CelerraXMLCreateROChkPtResp(unsigned long long jobId);
  ~CelerraXMLCreateROChkPtResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSId;
};

class CelerraXMLDeleteChkPtResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLDeleteChkPtResp();
  explicit CelerraXMLDeleteChkPtResp(unsigned long long jobId);
  ~CelerraXMLDeleteChkPtResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sChkPtId;
  std::string m_sBaseLineChkPtId;
};

class CelerraXMLRestorePFSFromChkPtResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLRestorePFSFromChkPtResp();
  explicit CelerraXMLRestorePFSFromChkPtResp(unsigned long long jobId);
  ~CelerraXMLRestorePFSFromChkPtResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sChkPtId;
  std::string m_sPFSId;
  std::string m_sChkPtName;
};
