// HTTP feature and file-system location messages: find the mover and file
// system behind a CIFS share URL, read a mover's DHSM HTTP feature (among it
// the hosts allowed to use it), and add hosts and users to that feature. All
// use the extended envelope (RequestEx) and are answered with ResponseEx.
#pragma once

#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "platform/CelerraExport.h"

// ------------------------------------------------------------------ requests

class ReqFileSystemLocationQueryParams : public CelerraXMLMessageReq {
 public:
  ReqFileSystemLocationQueryParams(unsigned long long jobId = 0, std::string url = std::string());
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqFileSystemLocationQueryParams"; }

  std::string m_Url;  // the share URL, e.g. cifs://server/share
};

// Reads the "dhsm" HTTP feature of one mover.
class ReqMoverHttpFeatureQueryParams : public CelerraXMLMessageReq {
 public:
  ReqMoverHttpFeatureQueryParams(unsigned long long jobId = 0, std::string moverId = std::string());
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqMoverHttpFeatureQueryParams"; }

  std::string m_sMoverId;
};

// Adds hosts and a user (or "AnyUser") to a mover's HTTP feature; `m_Type`
// says how the server applies the change ("append").
class ReqModifyHTTPFeatureUsersandHosts : public CelerraXMLMessageReq {
 public:
  ReqModifyHTTPFeatureUsersandHosts(unsigned long long jobId = 0, std::string moverId = std::string(),
                                    std::string validHosts = std::string(), std::string users = std::string(),
                                    std::string type = std::string(), std::string feature = std::string());
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqModifyHTTPFeatureUsersandHosts"; }

  std::string m_sMoverId;
  std::string m_ValidHosts;
  std::string m_Users;
  std::string m_Type;
  std::string m_Feature;
};

// ----------------------------------------------------------------- responses
// Each reads the server's status as well: a refused request fails the parse
// with the server's problem in the last error. The lists are appended to;
// a caller reusing a response empties them first.

class RespFileSystemLocationQueryParams : public CelerraXMLMessageResp {
 public:
  struct FileSystemLocation {
    std::string mover;
    std::string fileSystem;
    std::string path;
  };

  explicit RespFileSystemLocationQueryParams(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespFileSystemLocationQueryParams"; }

  std::vector<FileSystemLocation> m_vLocations;
};

class RespMoverHttpFeatureQueryParams : public CelerraXMLMessageResp {
 public:
  struct MoversConfig {
    std::string mover;
    std::string port;
    std::string validHosts;  // the attribute text as sent
    std::string serviceState;
    std::string authentication;
    std::vector<std::string> validHostList;  // validHosts split at blanks, no empty entries
  };

  explicit RespMoverHttpFeatureQueryParams(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespMoverHttpFeatureQueryParams"; }

  std::vector<MoversConfig> m_vMoversConfig;
};

class RespModifyHTTPFeatureUsersandHosts : public CelerraXMLMessageResp {
 public:
  explicit RespModifyHTTPFeatureUsersandHosts(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespModifyHTTPFeatureUsersandHosts"; }
};
