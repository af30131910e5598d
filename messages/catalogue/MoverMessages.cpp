#include "messages/catalogue/MoverMessages.h"

#include <functional>

#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

const char* const kPacketAttributes = " apiVersion=\"V1_1\"";

// The frame every body-reading response of this group shares: the envelope
// check and the server's verdict on the one DOM, then the body, and the
// success flag as the very last step. `body` returns what was wrong with the
// body, or an empty text when it was read whole. A failure keeps what was
// gathered so far; the last error says why unless the server already did.
bool ParseFrame(EvEvent& event, const CelerraError& lastError, const std::function<bool()>& envelope,
                const std::function<std::string()>& body, const std::function<void(const std::string&)>& unreadable,
                bool& success) {
  std::string why;
  try {
    if (!envelope()) {
      CEL_ERROR(event, "Unable to CheckResponsePackage");
      why = "the reply envelope was refused";
    } else {
      why = body();
    }
  } catch (...) {
    why = "the reply could not be read";
  }
  if (!why.empty()) {
    if (lastError.m_eStatus == STATUS_OK) unreadable(why);
    CEL_ERROR(event, "Unable to UnSerializeXML");
    return false;
  }
  success = true;
  return true;
}

}  // namespace

// ------------------------------------------------------------------ requests

ReqMoverQueryParams::ReqMoverQueryParams(unsigned long long jobId, const std::string& moverId)
    : CelerraXMLMessageReq(jobId, false, std::string()), m_sMoverId(moverId) {}

bool ReqMoverQueryParams::SerializeXML() {
  StandardXML_Prefix("Request", "Query", kPacketAttributes);
  m_sSerializedXML += "<MoverQueryParams";
  if (!m_sMoverId.empty()) m_sSerializedXML += Attr("mover", m_sMoverId);
  m_sSerializedXML += ">\n";
  m_sSerializedXML += "<AspectSelection movers=\"true\" moverDnsDomains=\"true\"\n";
  m_sSerializedXML += "\tmoverInterfaces=\"true\"\n";
  m_sSerializedXML += "\tmoverNetworkDevices=\"true\" moverNisDomains=\"true\"\n";
  m_sSerializedXML += "\tmoverRoutes=\"true\"\n";
  m_sSerializedXML += "\tmoverStatuses=\"true\" />\n";
  m_sSerializedXML += "</MoverQueryParams>\n";
  StandardXML_Postfix("Request", "Query");
  return true;
}

ReqVdmQueryParams::ReqVdmQueryParams(unsigned long long jobId) : CelerraXMLMessageReq(jobId, false, std::string()) {}

bool ReqVdmQueryParams::SerializeXML() {
  StandardXML_Prefix("Request", "Query", kPacketAttributes);
  if (m_sVdmId.empty())
    m_sSerializedXML += "<VdmQueryParams/>";
  else
    m_sSerializedXML += "<VdmQueryParams" + Attr("vdm", m_sVdmId) + " />";
  StandardXML_Postfix("Request", "Query");
  return true;
}

ReqCifsServerQueryParams::ReqCifsServerQueryParams(unsigned long long jobId, const std::string& moverId)
    : CelerraXMLMessageReq(jobId, false, std::string()), m_sMoverId(moverId) {}

bool ReqCifsServerQueryParams::SerializeXML() {
  StandardXML_Prefix("Request", "Query", kPacketAttributes);
  m_sSerializedXML += "<CifsServerQueryParams>\n";
  if (!m_sMoverId.empty()) m_sSerializedXML += "<MoverOrVdm" + Attr("mover", m_sMoverId) + "/>\n";
  m_sSerializedXML += "</CifsServerQueryParams>\n";
  StandardXML_Postfix("Request", "Query");
  return true;
}

ReqCifsConfigQueryParams::ReqCifsConfigQueryParams(unsigned long long jobId, const std::string& moverId,
                                                   bool moverIdIsVdm)
    : CelerraXMLMessageReq(jobId, false, std::string()), m_sMoverId(moverId), m_bMoverIdIsVdm(moverIdIsVdm) {}

bool ReqCifsConfigQueryParams::SerializeXML() {
  StandardXML_Prefix("Request", "Query", kPacketAttributes);
  m_sSerializedXML += "<CifsConfigQueryParams>\n";
  // The element is written even without a mover id: the server decides.
  m_sSerializedXML +=
      "<MoverOrVdm" + Attr("mover", m_sMoverId) + Attr("moverIdIsVdm", m_bMoverIdIsVdm ? "true" : "false") + "/>\n";
  m_sSerializedXML += "</CifsConfigQueryParams>\n";
  StandardXML_Postfix("Request", "Query");
  return true;
}

ReqMoverHostQueryParams::ReqMoverHostQueryParams(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}

bool ReqMoverHostQueryParams::SerializeXML() {
  StandardXML_Prefix("Request", "Query", kPacketAttributes);
  m_sSerializedXML += "<MoverHostQueryParams>\n";
  m_sSerializedXML +=
      "\t\t\t\t<AspectSelection moverHosts=\"true\" moverMotherboards=\"true\" physicalDevices=\"true\" "
      "fibreChannelConnections=\"true\"/>\n";
  m_sSerializedXML += "</MoverHostQueryParams>\n";
  StandardXML_Postfix("Request", "Query");
  return true;
}

// ----------------------------------------------------------------- responses

RespMoverQueryParams::RespMoverQueryParams(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false), m_bSuccess(false) {}

bool RespMoverQueryParams::UnSerializeXML() {
  ReplyDocument doc;
  auto envelope = [&] { return CheckResponsePackage("Response", doc) && CheckQueryStatus(doc); };
  auto body = [&]() -> std::string {
    if (!doc.document()) {
      CEL_ERROR(m_Event, "Failed to get DOM Document from XML");
      return "no document";
    }
    // A mover without DNS configured still has a name and addresses, so a
    // reply without any DNS domain is read like any other.
    std::vector<const XmlElement*> domains = Elements(doc.document(), "MoverDnsDomain");
    if (domains.empty()) CEL_DEBUG(m_Event, 5, "Found no %s nodes in XML", "MoverDnsDomain");
    for (const XmlElement* e : domains) {
      Movers record;
      record.mover = Attr(e, "mover");
      record.servers = Attr(e, "servers");
      record.name = Attr(e, "name");
      record.protocol = Attr(e, "protocol");
      m_vMovers.push_back(record);
    }
    for (const XmlElement* e : Elements(doc.document(), "Mover")) m_mMoverNames[Attr(e, "mover")] = Attr(e, "name");
    for (const XmlElement* e : Elements(doc.document(), "LogicalNetworkDevice")) {
      std::string name = Attr(e, "name");
      std::string interfaces = Attr(e, "interfaces");
      // Only the data ports carry client addresses; other devices (and
      // ports without an address) are of no use to an alias lookup.
      if (name.compare(0, 3, "cge") != 0 || interfaces.empty()) {
        CEL_DEBUG(m_Event, 5, "No interfaces found in the Logical Network Device OR invalid device [%s].",
                  name.c_str());
        continue;
      }
      LogicalNetworkDevice device;
      device.mover = Attr(e, "mover");
      for (std::string& address : SplitList(interfaces, ' ')) device.interfaces.insert(std::move(address));
      m_vLogicalNetworkDevices.push_back(std::move(device));
    }
    return std::string();
  };
  return ParseFrame(
      m_Event, m_LastError, envelope, body, [this](const std::string& why) { SetUnreadable(why); }, m_bSuccess);
}

RespVdmQueryParams::RespVdmQueryParams(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false), m_bSuccess(false) {}

bool RespVdmQueryParams::UnSerializeXML() {
  ReplyDocument doc;
  auto envelope = [&] { return CheckResponsePackage("Response", doc) && CheckQueryStatus(doc); };
  auto body = [&]() -> std::string {
    if (!doc.document()) {
      CEL_ERROR(m_Event, "Failed to get DOM Document from XML");
      return "no document";
    }
    for (const XmlElement* e : Elements(doc.document(), "Vdm")) {
      std::string vdm = Attr(e, "vdm");
      m_mVdmNames[vdm] = Attr(e, "name");
      m_mVdmMovers[vdm] = Attr(e, "mover");
    }
    return std::string();
  };
  return ParseFrame(
      m_Event, m_LastError, envelope, body, [this](const std::string& why) { SetUnreadable(why); }, m_bSuccess);
}

RespCifsServerQueryParams::RespCifsServerQueryParams(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false), m_bSuccess(false) {}

bool RespCifsServerQueryParams::UnSerializeXML() {
  ReplyDocument doc;
  auto envelope = [&] { return CheckResponsePackage("Response", doc) && CheckQueryStatus(doc); };
  auto body = [&]() -> std::string {
    if (!doc.document()) {
      CEL_ERROR(m_Event, "Failed to get DOM Document from XML");
      return "no document";
    }
    std::vector<const XmlElement*> servers = Elements(doc.document(), "CifsServer");
    if (servers.empty()) {
      CEL_ERROR(m_Event, "Found no %s nodes in XML", "CifsServer");
      return "No CifsServer elements in the reply";
    }
    for (const XmlElement* e : servers) {
      CelerraCifsServer_t server;
      server.mover = Attr(e, "mover");
      server.interfaces = Attr(e, "interfaces");
      server.name = Attr(e, "name");
      server.moverIdIsVdm = Attr(e, "moverIdIsVdm");
      m_vCifsServers.push_back(std::move(server));
    }
    return std::string();
  };
  return ParseFrame(
      m_Event, m_LastError, envelope, body, [this](const std::string& why) { SetUnreadable(why); }, m_bSuccess);
}

namespace {

// The two responses that are only tested for success.
template <class Check>
bool EnvelopeOnly(EvEvent& event, Check check) {
  bool ok = false;
  try {
    ok = check();
  } catch (...) {
    ok = false;
  }
  if (ok) return true;
  CEL_ERROR(event, "Unable to CheckResponsePackage");
  CEL_ERROR(event, "Unable to UnSerializeXML");
  return false;
}

}  // namespace

RespCifsConfigQueryParams::RespCifsConfigQueryParams(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {}

bool RespCifsConfigQueryParams::UnSerializeXML() {
  ReplyDocument doc;
  return EnvelopeOnly(m_Event, [&] { return CheckResponsePackage("Response", doc) && CheckQueryStatus(doc); });
}

RespMoverHostQueryParams::RespMoverHostQueryParams(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {}

bool RespMoverHostQueryParams::UnSerializeXML() {
  ReplyDocument doc;
  return EnvelopeOnly(m_Event, [&] { return CheckResponsePackage("Response", doc) && CheckQueryStatus(doc); });
}
