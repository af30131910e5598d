// Checkpoint messages: the checkpoint list query and the create (writeable
// and read-only), delete and restore tasks.
#pragma once

#include <list>
#include <string>

#include "messages/CelerraXMLMessage.h"

// One checkpoint of the list reply.
struct CELERRA_API CelerraChkPtInfo {
  std::string m_sChkPtId;
  std::string m_sBaseChkPtId;  // baseline of a writeable checkpoint; may be empty
  std::string m_sFSId;         // production file system
  std::string m_sChkPtName;
};

// ------------------------------------------------------------ requests

class CELERRA_API CelerraXMLGetChkPtInfoReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetChkPtInfoReq();
  explicit CelerraXMLGetChkPtInfoReq(unsigned long long jobId);
  ~CelerraXMLGetChkPtInfoReq() override;
  bool SerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sChkPtName;  // empty selects every checkpoint
};

class CELERRA_API CelerraXMLCreateRWChkPtReq : public CelerraXMLMessageReq {
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

class CELERRA_API CelerraXMLCreateROChkPtReq : public CelerraXMLMessageReq {
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

class CELERRA_API CelerraXMLDeleteChkPtReq : public CelerraXMLMessageReq {
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

class CELERRA_API CelerraXMLRestorePFSFromChkPtReq : public CelerraXMLMessageReq {
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

class CELERRA_API CelerraXMLGetChkPtInfoResp : public CelerraXMLMessageResp {
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

class CELERRA_API CelerraXMLCreateRWChkPtResp : public CelerraXMLMessageResp {
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

class CELERRA_API CelerraXMLCreateROChkPtResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLCreateROChkPtResp();
  explicit CelerraXMLCreateROChkPtResp(unsigned long long jobId);
  ~CelerraXMLCreateROChkPtResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sPFSId;
};

class CELERRA_API CelerraXMLDeleteChkPtResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLDeleteChkPtResp();
  explicit CelerraXMLDeleteChkPtResp(unsigned long long jobId);
  ~CelerraXMLDeleteChkPtResp() override;
  bool UnSerializeXML() override;
  const char* GetMessageName() override;

  std::string m_sChkPtId;
  std::string m_sBaseLineChkPtId;
};

class CELERRA_API CelerraXMLRestorePFSFromChkPtResp : public CelerraXMLMessageResp {
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
