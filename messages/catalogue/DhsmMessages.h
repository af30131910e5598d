// DHSM connection messages: query, create, modify and delete the links from
// a file system to a secondary (offline) storage server, and switch a file
// system's DHSM settings. All use the extended envelope (RequestEx).
//
// Requests that carry the archive account's password hand it to the base
// class as sensitive, so the document is never logged or traced.
#pragma once

#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "platform/CelerraExport.h"

// ------------------------------------------------------------------ requests

// Lists the connections of a file system, or one connection; an empty id
// leaves its attribute out.
class ReqDhsmConnectionQueryParams : public CelerraXMLMessageReq {
 public:
  ReqDhsmConnectionQueryParams(unsigned long long jobId = 0, std::string fileSystemId = std::string(),
                               std::string connectionId = std::string());
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqDhsmConnectionQueryParams"; }

  std::string m_FileSystemId;
  std::string m_ConnectionId;
};

// Creates a connection to a secondary server reached over CIFS. The password
// is passed to the base as sensitive text.
class ReqNewCifsDhsmConnection : public CelerraXMLMessageReq {
 public:
  ReqNewCifsDhsmConnection(unsigned long long jobId, std::string fileSystemId, std::string localServer,
                           std::string share, std::string host, std::string userName, std::string password,
                           std::string vendorId);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqNewCifsDhsmConnection"; }

  std::string m_FileSystemId;
  std::string m_Share;
  std::string m_Host;
  std::string m_UserName;
  std::string m_Password;
  std::string m_VendorId;
  std::string m_LocalServer;
};

// Changes a CIFS connection. Marked sensitive when the password is not empty.
class ReqModifyCifsDhsmConnection : public CelerraXMLMessageReq {
 public:
  ReqModifyCifsDhsmConnection(unsigned long long jobId, std::string fileSystemId, std::string connectionId,
                              std::string localServer, std::string userName, std::string password,
                              std::string readPolicyOverride, std::string secondaryHost, std::string winsServer);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqModifyCifsDhsmConnection"; }

  std::string m_FileSystemId;
  std::string m_ConnectionId;
  std::string m_LocalServer;
  std::string m_WinsServer;
  std::string m_SecondaryHost;
  std::string m_ReadPolicyOverride;
  std::string m_UserName;
  std::string m_Password;
};

// Creates a connection to a secondary server reached over HTTP.
class ReqNewHttpDhsmConnection : public CelerraXMLMessageReq {
 public:
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqNewHttpDhsmConnection"; }

  std::string m_FileSystemId;
  std::string m_Path;
  std::string m_Host;
  std::string m_Port;
  std::string m_VendorId;
  std::string m_Cgi;
};

// Changes an HTTP connection's settings.
class ReqModifyHttpDhsmConnection : public CelerraXMLMessageReq {
 public:
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqModifyHttpDhsmConnection"; }

  std::string m_FileSystemId;
  std::string m_ConnectionId;
  std::string m_Setting;
  std::string m_ReadPolicyOverride;
};

// Deletes a connection.
class ReqDeleteDhsmConnection : public CelerraXMLMessageReq {
 public:
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqDeleteDhsmConnection"; }

  std::string m_FileSystemId;
  std::string m_ConnectionId;
};

// Sets a file system's DHSM settings (offline attribute, read policy,
// logging); empty logging values leave their attributes out.
class ReqModifyFilesystemDHSM : public CelerraXMLMessageReq {
 public:
  ReqModifyFilesystemDHSM(unsigned long long jobId, std::string fileSystemId, std::string offlineAttr,
                          std::string readPolicyOverride, std::string loggingEnabled, std::string maxLogSize,
                          std::string popupTimeout);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqModifyFilesystemDHSM"; }

  std::string m_FileSystemId;
  std::string m_OfflineAttr;
  std::string m_ReadPolicyOverride;
  std::string m_LoggingEnabled;
  std::string m_MaxLogSize;
  std::string m_PopupTimeout;
};

// ----------------------------------------------------------------- responses

class RespDhsmConnectionQueryParams : public CelerraXMLMessageResp {
 public:
  struct SecondaryLocation {
    std::string host;
    std::string share;
  };
  struct DhsmConnectionConfig {
    std::string connection;
    std::string fileSystem;
    std::string readPolicyOverride;
    std::string setting;
    std::string writePolicy;
    std::string localServer;
    bool cgi = false;
    SecondaryLocation secondaryLocation;
  };

  explicit RespDhsmConnectionQueryParams(unsigned long long jobId = 0);
  // Envelope check, the server's status, then one record per
  // DhsmConnectionConfig element; false when there is none.
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespDhsmConnectionQueryParams"; }

  std::vector<DhsmConnectionConfig> m_vConnections;
};

// The task responses: the envelope check, and the server's verdict on the
// task (a Status that is not ok fails the parse with the server's problem in
// the last error).
class RespNewCifsDhsmConnection : public CelerraXMLMessageResp {
 public:
  explicit RespNewCifsDhsmConnection(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespNewCifsDhsmConnection"; }
};

class RespModifyCifsDhsmConnection : public CelerraXMLMessageResp {
 public:
  explicit RespModifyCifsDhsmConnection(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespModifyCifsDhsmConnection"; }
};

class RespNewHttpDhsmConnection : public CelerraXMLMessageResp {
 public:
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespNewHttpDhsmConnection"; }
};

class RespModifyHttpDhsmConnection : public CelerraXMLMessageResp {
 public:
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespModifyHttpDhsmConnection"; }
};

class RespDeleteDhsmConnection : public CelerraXMLMessageResp {
 public:
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespDeleteDhsmConnection"; }
};

class RespModifyFilesystemDHSM : public CelerraXMLMessageResp {
 public:
  explicit RespModifyFilesystemDHSM(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespModifyFilesystemDHSM"; }
};
