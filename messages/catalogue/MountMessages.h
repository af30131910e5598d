// Mounts of file systems (and of checkpoints, which the server treats as
// file systems) on a data mover or VDM: the mount query and the new-mount
// task, and the record each mount found becomes.
#pragma once

#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraRecords.h"
#include "platform/CelerraExport.h"

namespace celerra_internal {
class ReplyDocument;
}

// The mounts of one mover (or of all movers), optionally only the one at a path.
class CelerraXMLGetFSMountPointsReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLGetFSMountPointsReq();
  explicit CelerraXMLGetFSMountPointsReq(unsigned long long jobId);
  ~CelerraXMLGetFSMountPointsReq() override;

  bool SerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetFSMountPointsReq"; }

  std::string m_sMoverId;                 // empty: all movers
  std::string m_sMoverIdIsVdm = "false";  // "true" when m_sMoverId names a VDM
  std::string m_sPath;                    // empty: every mount
};

// Mounts one file system (or checkpoint) at a path on a mover or VDM.
class CelerraXMLCreateMountPointReq : public CelerraXMLMessageReq {
 public:
  CelerraXMLCreateMountPointReq();
  explicit CelerraXMLCreateMountPointReq(unsigned long long jobId);
  ~CelerraXMLCreateMountPointReq() override;

  bool SerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLCreateMountPointReq"; }

  std::string m_sPath;
  std::string m_sMoverId;
  std::string m_sFileSystem;
  std::string m_sMoverIdIsVdm;
};

class CelerraXMLGetFSMountPointsResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLGetFSMountPointsResp();
  explicit CelerraXMLGetFSMountPointsResp(unsigned long long jobId);
  ~CelerraXMLGetFSMountPointsResp() override;

  // The reply is read whole (envelope and mounts) from one parse, whichever
  // of the two entry points runs first; the other returns the same result.
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLGetFSMountPointsResp"; }
  void AppendXml(char* data, unsigned long length) override;
  void init() override;

  virtual bool UnSerializeCompleteXML();
  virtual void SetXML(char* data, unsigned long length);

  void GetMountPoints(std::vector<std::string>& out) const { out = m_vMountPoints; }
  void GetMountPointsInfo(std::vector<CelerraMountPointsInfo_t>& out) const { out = m_vMountPointsInfo; }

 protected:
  std::vector<std::string> m_vMountPoints;
  std::vector<CelerraMountPointsInfo_t> m_vMountPointsInfo;

 private:
  bool ParseMounts(celerra_internal::ReplyDocument& doc);

  bool m_bParsed = false;       // the current reply text has been read
  bool m_bParseResult = false;  // and this was the outcome
};

class CelerraXMLCreateMountPointResp : public CelerraXMLMessageResp {
 public:
  CelerraXMLCreateMountPointResp();
  explicit CelerraXMLCreateMountPointResp(unsigned long long jobId);
  ~CelerraXMLCreateMountPointResp() override;

  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "CelerraXMLCreateMountPointResp"; }
};
