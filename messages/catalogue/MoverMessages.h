// Queries about the server's data movers, virtual data movers (VDMs) and the
// CIFS servers that run on them: the mover query (names, DNS domains, network
// devices with their addresses), the VDM query (names and hosting movers), the
// CIFS-server query, and the mover-host and CIFS-configuration queries whose
// replies are only tested for success.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraRecords.h"
#include "platform/CelerraExport.h"

// ------------------------------------------------------------------ requests

// Every data mover (or the one named) with its names, DNS domains and network
// devices.
class ReqMoverQueryParams : public CelerraXMLMessageReq {
 public:
  explicit ReqMoverQueryParams(unsigned long long jobId, const std::string& moverId = std::string());
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqMoverQueryParams"; }

  std::string m_sMoverId;  // empty: all movers
};

// Every VDM (or the one named) with its name and hosting mover.
class ReqVdmQueryParams : public CelerraXMLMessageReq {
 public:
  explicit ReqVdmQueryParams(unsigned long long jobId);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqVdmQueryParams"; }

  std::string m_sVdmId;  // empty: all VDMs
};

// Every CIFS server, or those of one mover or VDM.
class ReqCifsServerQueryParams : public CelerraXMLMessageReq {
 public:
  explicit ReqCifsServerQueryParams(unsigned long long jobId, const std::string& moverId = std::string());
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqCifsServerQueryParams"; }

  std::string m_sMoverId;  // empty: all CIFS servers
};

// The CIFS configuration of one mover or VDM (no operation sends it).
class ReqCifsConfigQueryParams : public CelerraXMLMessageReq {
 public:
  explicit ReqCifsConfigQueryParams(unsigned long long jobId = 0, const std::string& moverId = std::string(),
                                    bool moverIdIsVdm = false);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqCifsConfigQueryParams"; }

  std::string m_sMoverId;
  bool m_bMoverIdIsVdm;
};

// The mover hosts with motherboards, physical devices and fibre-channel
// connections (no operation sends it).
class ReqMoverHostQueryParams : public CelerraXMLMessageReq {
 public:
  explicit ReqMoverHostQueryParams(unsigned long long jobId = 0);
  bool SerializeXML() override;
  const char* GetMessageName() override { return "ReqMoverHostQueryParams"; }
};

// ----------------------------------------------------------------- responses

class RespMoverQueryParams : public CelerraXMLMessageResp {
 public:
  // One DNS domain of a mover.
  struct Movers {
    std::string mover;     // mover id
    std::string servers;   // DNS server list, as sent
    std::string name;      // DNS domain name
    std::string protocol;  // protocol text, as sent
  };
  // A "cge" network device with at least one address.
  struct LogicalNetworkDevice {
    std::string mover;                 // owning mover id
    std::set<std::string> interfaces;  // the device's IP addresses
  };

  explicit RespMoverQueryParams(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespMoverQueryParams"; }

  std::vector<Movers> m_vMovers;
  std::vector<LogicalNetworkDevice> m_vLogicalNetworkDevices;
  std::map<std::string, std::string> m_mMoverNames;  // mover id -> name
  bool m_bSuccess;                                   // true only after a complete parse
};

class RespVdmQueryParams : public CelerraXMLMessageResp {
 public:
  explicit RespVdmQueryParams(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespVdmQueryParams"; }

  std::map<std::string, std::string> m_mVdmNames;   // VDM id -> name
  std::map<std::string, std::string> m_mVdmMovers;  // VDM id -> hosting mover id
  bool m_bSuccess;
};

class RespCifsServerQueryParams : public CelerraXMLMessageResp {
 public:
  explicit RespCifsServerQueryParams(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespCifsServerQueryParams"; }

  bool m_bSuccess;
  std::vector<CelerraCifsServer_t> m_vCifsServers;
};

class RespCifsConfigQueryParams : public CelerraXMLMessageResp {
 public:
  explicit RespCifsConfigQueryParams(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespCifsConfigQueryParams"; }
};

class RespMoverHostQueryParams : public CelerraXMLMessageResp {
 public:
  explicit RespMoverHostQueryParams(unsigned long long jobId = 0);
  bool UnSerializeXML() override;
  const char* GetMessageName() override { return "RespMoverHostQueryParams"; }
};
