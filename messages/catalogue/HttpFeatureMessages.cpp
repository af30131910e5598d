#include "messages/catalogue/HttpFeatureMessages.h"

#include "messages/internal/OnFailure.h"
#include "messages/internal/TaskStatus.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

const char kOuter[] = "RequestEx";
const char kQuery[] = "Query";
const char kTask[] = "StartTask";
const char kPacketAttributes[] = " apiVersion=\"V1_1\"";
const char kResponseTag[] = "ResponseEx";

}  // namespace

// ------------------------------------------------------------------ requests

ReqFileSystemLocationQueryParams::ReqFileSystemLocationQueryParams(unsigned long long jobId, std::string url)
    : CelerraXMLMessageReq(jobId, false, std::string()), m_Url(std::move(url)) {}

bool ReqFileSystemLocationQueryParams::SerializeXML() {
  StandardXML_Prefix(kOuter, kQuery, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<FileSystemLocationQueryParams \n";
  x += "\t\t\t\t\turl=\"" + Escape(m_Url) + "\" \n";
  x += "\t\t\t\t\t >\n";
  x += "</FileSystemLocationQueryParams>\n";
  StandardXML_Postfix(kOuter, kQuery);
  return true;
}

ReqMoverHttpFeatureQueryParams::ReqMoverHttpFeatureQueryParams(unsigned long long jobId, std::string moverId)
    : CelerraXMLMessageReq(jobId, false, std::string()), m_sMoverId(std::move(moverId)) {}

bool ReqMoverHttpFeatureQueryParams::SerializeXML() {
  StandardXML_Prefix(kOuter, kQuery, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<MoverHttpFeatureQueryParams feature=\"dhsm\" " + Attr("mover", m_sMoverId) + " >\n";
  x += "</MoverHttpFeatureQueryParams>\n";
  StandardXML_Postfix(kOuter, kQuery);
  return true;
}

ReqModifyHTTPFeatureUsersandHosts::ReqModifyHTTPFeatureUsersandHosts(unsigned long long jobId, std::string moverId,
                                                                     std::string validHosts, std::string users,
                                                                     std::string type, std::string feature)
    : CelerraXMLMessageReq(jobId, false, std::string()),
      m_sMoverId(std::move(moverId)),
      m_ValidHosts(std::move(validHosts)),
      m_Users(std::move(users)),
      m_Type(std::move(type)),
      m_Feature(std::move(feature)) {}

bool ReqModifyHTTPFeatureUsersandHosts::SerializeXML() {
  StandardXML_Prefix(kOuter, kTask, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<ModifyHttpFeatureUsersAndHosts" + Attr("mover", m_sMoverId) + Attr("feature", m_Feature) +
       Attr("type", m_Type) + Attr("validHosts", m_ValidHosts) + " >\n";
  if (m_Users == "AnyUser")
    x += "<AnyUser></AnyUser>\n";
  else if (!m_Users.empty())
    x += "<Users><li>" + Escape(m_Users) + "</li></Users>\n";
  x += "</ModifyHttpFeatureUsersAndHosts>\n";
  StandardXML_Postfix(kOuter, kTask);
  return true;
}

// ----------------------------------------------------------------- responses

RespFileSystemLocationQueryParams::RespFileSystemLocationQueryParams(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {}

bool RespFileSystemLocationQueryParams::UnSerializeXML() {
  static const char kElement[] = "FileSystemLocation";
  ReplyDocument doc;
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to UnSerializeXML"); });
  if (!CheckResponsePackage(kResponseTag, doc)) {
    CEL_ERROR(m_Event, "Unable to CheckResponsePackage");
    return false;
  }
  if (!CheckQueryStatus(doc)) return false;
  std::vector<const XmlElement*> nodes = Elements(doc.document(), kElement);
  if (nodes.empty()) {
    CEL_ERROR(m_Event, "Found no %s nodes in XML", kElement);
    return false;
  }
  CEL_DEBUG(m_Event, 3, "Processing %lu items", static_cast<unsigned long>(nodes.size()));
  m_vLocations.reserve(m_vLocations.size() + nodes.size());
  for (const XmlElement* node : nodes)
    m_vLocations.push_back({Attr(node, "mover"), Attr(node, "fileSystem"), Attr(node, "path")});
  return closing.Succeeded();
}

RespMoverHttpFeatureQueryParams::RespMoverHttpFeatureQueryParams(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {}

bool RespMoverHttpFeatureQueryParams::UnSerializeXML() {
  ReplyDocument doc;
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to UnSerializeXML"); });
  if (!CheckResponsePackage(kResponseTag, doc)) {
    CEL_ERROR(m_Event, "Unable to CheckResponsePackage");
    return false;
  }
  if (!CheckQueryStatus(doc)) return false;
  std::vector<const XmlElement*> nodes = Elements(doc.document(), "MoverHttpFeature");
  if (nodes.empty()) {
    CEL_ERROR(m_Event, "Inappropriate number [%lu] of MoverHttpFeature nodes in XML", 0UL);
    return false;
  }
  m_vMoversConfig.reserve(m_vMoversConfig.size() + nodes.size());
  for (const XmlElement* node : nodes) {
    MoversConfig c;
    c.serviceState = Attr(node, "serviceState");
    c.authentication = Attr(node, "authentication");
    c.mover = Attr(node, "mover");
    c.port = Attr(node, "port");
    c.validHosts = Attr(node, "validHosts");
    // Runs of blanks are one separator: no empty host ever enters the list.
    for (std::string& host : SplitList(c.validHosts, ' '))
      if (!host.empty()) c.validHostList.push_back(std::move(host));
    m_vMoversConfig.push_back(std::move(c));
  }
  return closing.Succeeded();
}

RespModifyHTTPFeatureUsersandHosts::RespModifyHTTPFeatureUsersandHosts(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {}

bool RespModifyHTTPFeatureUsersandHosts::UnSerializeXML() {
  ReplyDocument doc;
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to UnSerializeXML"); });
  if (!CheckResponsePackage(kResponseTag, doc)) {
    CEL_ERROR(m_Event, "Unable to CheckResponsePackage");
    return false;
  }
  if (!ReadTaskStatus(doc.response, m_LastError, m_Event, GetMessageName())) return false;
  std::vector<const XmlElement*> nodes = Elements(doc.document(), "ResponseEx", "Response");
  if (nodes.empty()) {
    CEL_ERROR(m_Event, "Inappropriate number [%lu] of MoverHttpFeature nodes in XML", 0UL);
    return false;
  }
  return closing.Succeeded();
}
