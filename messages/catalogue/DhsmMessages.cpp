#include "messages/catalogue/DhsmMessages.h"

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

// `name="escaped value"` without the leading blank, for rows that start
// with a tab.
std::string BareAttr(const char* name, const std::string& value) {
  return std::string(name) + "=\"" + XmlEscape(value) + "\"";
}

}  // namespace

// ------------------------------------------------------------------ requests

ReqDhsmConnectionQueryParams::ReqDhsmConnectionQueryParams(unsigned long long jobId, std::string fileSystemId,
                                                           std::string connectionId)
    : CelerraXMLMessageReq(jobId, false, std::string()),
      m_FileSystemId(std::move(fileSystemId)),
      m_ConnectionId(std::move(connectionId)) {}

bool ReqDhsmConnectionQueryParams::SerializeXML() {
  StandardXML_Prefix(kOuter, kQuery, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<DhsmConnectionQueryParams \n";
  if (!m_FileSystemId.empty()) x += Attr("fileSystem", m_FileSystemId) + " \n";
  if (!m_ConnectionId.empty()) x += Attr("connection", m_ConnectionId) + " \n";
  x += " >\n";
  x += "\t\t<AspectSelection connectionConfig=\"true\"></AspectSelection>\n";
  x += "</DhsmConnectionQueryParams>\n";
  StandardXML_Postfix(kOuter, kQuery);
  return true;
}

ReqNewCifsDhsmConnection::ReqNewCifsDhsmConnection(unsigned long long jobId, std::string fileSystemId,
                                                   std::string localServer, std::string share, std::string host,
                                                   std::string userName, std::string password, std::string vendorId)
    : CelerraXMLMessageReq(jobId, false, password),
      m_FileSystemId(std::move(fileSystemId)),
      m_Share(std::move(share)),
      m_Host(std::move(host)),
      m_UserName(std::move(userName)),
      m_Password(std::move(password)),
      m_VendorId(std::move(vendorId)),
      m_LocalServer(std::move(localServer)) {}

bool ReqNewCifsDhsmConnection::SerializeXML() {
  // The password may have been set after construction: the document must
  // stay out of the logs and traces all the same.
  if (!m_Password.empty()) m_sSensitiveText = m_Password;
  StandardXML_Prefix(kOuter, kTask, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<NewCifsDhsmConnection" + Attr("fileSystem", m_FileSystemId);
  x += " readPolicyOverride=\"full\" ";
  x += " taskDescription=\"New dhsm CIFS Connection\"" + Attr("vendorId", m_VendorId) +
       Attr("localServer", m_LocalServer) + ">\n";
  x += "<SecondaryLocation" + Attr("share", m_Share) + Attr("host", m_Host) + "></SecondaryLocation>\n";
  if (!m_UserName.empty()) {
    x += "<AdminInfo" + Attr("userName", m_UserName) + " ";
    if (!m_Password.empty()) x += Attr("password", m_Password) + " ";
    x += "></AdminInfo>\n";
  } else {
    CEL_ERROR(m_Event, "UserName is empty.  This XML msg requires user name and password.");
  }
  x += "</NewCifsDhsmConnection>\n";
  StandardXML_Postfix(kOuter, kTask);
  return true;
}

ReqModifyCifsDhsmConnection::ReqModifyCifsDhsmConnection(unsigned long long jobId, std::string fileSystemId,
                                                         std::string connectionId, std::string localServer,
                                                         std::string userName, std::string password,
                                                         std::string readPolicyOverride, std::string secondaryHost,
                                                         std::string winsServer)
    : CelerraXMLMessageReq(jobId, !password.empty(), std::string()),
      m_FileSystemId(std::move(fileSystemId)),
      m_ConnectionId(std::move(connectionId)),
      m_LocalServer(std::move(localServer)),
      m_WinsServer(std::move(winsServer)),
      m_SecondaryHost(std::move(secondaryHost)),
      m_ReadPolicyOverride(std::move(readPolicyOverride)),
      m_UserName(std::move(userName)),
      m_Password(std::move(password)) {}

bool ReqModifyCifsDhsmConnection::SerializeXML() {
  if (!m_Password.empty()) m_bSensitiveXML = true;
  StandardXML_Prefix(kOuter, kTask, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<ModifyCifsDhsmConnection" + Attr("connection", m_ConnectionId) + Attr("fileSystem", m_FileSystemId) + " \n";
  x += "\t" + BareAttr("localServer", m_LocalServer) + "  \n";
  if (!m_SecondaryHost.empty()) x += Attr("secondaryHost", m_SecondaryHost) + " \n";
  x += " taskDescription=\"Modifying dhsm CIFS Connection\" \n";
  if (!m_WinsServer.empty()) x += Attr("winsServer", m_WinsServer) + " ";
  x += Attr("readPolicyOverride", m_ReadPolicyOverride) + " >\n";
  if (!m_UserName.empty())
    x += "<AdminInfo" + Attr("userName", m_UserName) + Attr("password", m_Password) + "  ></AdminInfo>\n";
  x += "</ModifyCifsDhsmConnection>\n";
  StandardXML_Postfix(kOuter, kTask);
  return true;
}

bool ReqNewHttpDhsmConnection::SerializeXML() {
  StandardXML_Prefix(kOuter, kTask, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<NewHttpDhsmConnection" + Attr("fileSystem", m_FileSystemId) + " \n";
  x += "\t\t\t\t  taskDescription=\"New dhsm HTTP Connection\"" + Attr("vendorId", m_VendorId) + Attr("cgi", m_Cgi) +
       ">\n";
  x += "<SecondaryLocation" + Attr("path", m_Path) + Attr("host", m_Host) + Attr("port", m_Port) +
       "></SecondaryLocation>\n";
  x += "</NewHttpDhsmConnection>\n";
  StandardXML_Postfix(kOuter, kTask);
  return true;
}

bool ReqModifyHttpDhsmConnection::SerializeXML() {
  StandardXML_Prefix(kOuter, kTask, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<ModifyHttpDhsmConnection \n";
  x += Attr("connection", m_ConnectionId) + Attr("fileSystem", m_FileSystemId) + Attr("setting", m_Setting) +
       Attr("readPolicyOverride", m_ReadPolicyOverride) + ">\n";
  x += "</ModifyHttpDhsmConnection>\n";
  StandardXML_Postfix(kOuter, kTask);
  return true;
}

bool ReqDeleteDhsmConnection::SerializeXML() {
  StandardXML_Prefix(kOuter, kTask, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<DeleteDhsmConnection" + Attr("fileSystem", m_FileSystemId) + Attr("connection", m_ConnectionId) + "\n";
  x += "\t\t\t\t\t\t\ttaskDescription=\"Delete dhsm Connection\">\n";
  x += "</DeleteDhsmConnection>\n";
  StandardXML_Postfix(kOuter, kTask);
  CEL_DEBUG(m_Event, 2, "m_FileSystemId:[%s]; m_ConnectionId:[%s]", m_FileSystemId.c_str(), m_ConnectionId.c_str());
  return true;
}

ReqModifyFilesystemDHSM::ReqModifyFilesystemDHSM(unsigned long long jobId, std::string fileSystemId,
                                                 std::string offlineAttr, std::string readPolicyOverride,
                                                 std::string loggingEnabled, std::string maxLogSize,
                                                 std::string popupTimeout)
    : CelerraXMLMessageReq(jobId, false, std::string()),
      m_FileSystemId(std::move(fileSystemId)),
      m_OfflineAttr(std::move(offlineAttr)),
      m_ReadPolicyOverride(std::move(readPolicyOverride)),
      m_LoggingEnabled(std::move(loggingEnabled)),
      m_MaxLogSize(std::move(maxLogSize)),
      m_PopupTimeout(std::move(popupTimeout)) {}

bool ReqModifyFilesystemDHSM::SerializeXML() {
  static const char kIndent[] = "\t\t\t\t\t";
  StandardXML_Prefix(kOuter, kTask, kPacketAttributes);
  std::string& x = m_sSerializedXML;
  x += "<ModifyFileSystemDhsm \n";
  x += kIndent + BareAttr("fileSystem", m_FileSystemId) + " backupType=\"stub\" enabled=\"true\" \n";
  x += kIndent + BareAttr("offlineAttr", m_OfflineAttr) + " \n";
  x += kIndent + BareAttr("readPolicyOverride", m_ReadPolicyOverride) + " taskDescription=\"Modify File System\" \n";
  if (!m_LoggingEnabled.empty()) x += kIndent + Attr("loggingEnabled", m_LoggingEnabled) + " ";
  if (!m_MaxLogSize.empty()) x += kIndent + Attr("maxLogSize", m_MaxLogSize) + " ";
  if (!m_PopupTimeout.empty()) x += kIndent + Attr("popupTimeout", m_PopupTimeout) + " ";
  x += std::string(kIndent) + "  >\n";
  x += "</ModifyFileSystemDhsm>\n";
  StandardXML_Postfix(kOuter, kTask);
  return true;
}

// ----------------------------------------------------------------- responses

RespDhsmConnectionQueryParams::RespDhsmConnectionQueryParams(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {}

bool RespDhsmConnectionQueryParams::UnSerializeXML() {
  ReplyDocument doc;
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to UnSerializeXML"); });
  if (!CheckResponsePackage("Response", doc)) {
    CEL_ERROR(m_Event, "Unable to CheckResponsePackage");
    return false;
  }
  if (!CheckQueryStatus(doc)) return false;
  std::vector<const XmlElement*> configs = Elements(doc.document(), "DhsmConnectionConfig");
  if (configs.empty()) {
    CEL_ERROR(m_Event, "Found no DhsmConnectionConfig nodes in XML");
    return false;
  }
  m_vConnections.reserve(m_vConnections.size() + configs.size());
  for (const XmlElement* node : configs) {
    DhsmConnectionConfig c;
    c.connection = Attr(node, "connection");
    c.fileSystem = Attr(node, "fileSystem");
    c.readPolicyOverride = Attr(node, "readPolicyOverride");
    c.setting = Attr(node, "setting");
    c.writePolicy = Attr(node, "writePolicy");
    if (const XmlElement* cifs = FirstElement(node, "CifsData")) {
      c.localServer = Attr(cifs, "localServer");
      if (const XmlElement* location = FirstElement(cifs, "SecondaryLocation")) {
        c.secondaryLocation.host = Attr(location, "hostFqn");
        c.secondaryLocation.share = Attr(location, "share");
      }
    } else if (const XmlElement* http = FirstElement(node, "HttpData")) {
      c.cgi = Attr(http, "cgi") == "true";
      if (const XmlElement* location = FirstElement(http, "SecondaryLocation")) {
        c.secondaryLocation.host = Attr(location, "host");
        c.secondaryLocation.share = Attr(location, "share");
      }
    }
    m_vConnections.push_back(std::move(c));
  }
  return closing.Succeeded();
}

// A task reply: the envelope check, then the server's verdict, both from the
// one parse.
#define CELERRA_TASK_UNSERIALIZE(Class, Tag)                                     \
  bool Class::UnSerializeXML() {                                                 \
    ReplyDocument doc;                                                           \
    if (!CheckResponsePackage(Tag, doc)) {                                       \
      CEL_ERROR(m_Event, "Unable to CheckResponsePackage");                      \
      CEL_ERROR(m_Event, "Unable to UnSerializeXML");                            \
      return false;                                                              \
    }                                                                            \
    if (!ReadTaskStatus(doc.response, m_LastError, m_Event, GetMessageName())) { \
      CEL_ERROR(m_Event, "Unable to UnSerializeXML");                            \
      return false;                                                              \
    }                                                                            \
    return true;                                                                 \
  }

RespNewCifsDhsmConnection::RespNewCifsDhsmConnection(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {}
CELERRA_TASK_UNSERIALIZE(RespNewCifsDhsmConnection, "Response")

RespModifyCifsDhsmConnection::RespModifyCifsDhsmConnection(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {}
CELERRA_TASK_UNSERIALIZE(RespModifyCifsDhsmConnection, "Response")

CELERRA_TASK_UNSERIALIZE(RespNewHttpDhsmConnection, "Response")
CELERRA_TASK_UNSERIALIZE(RespModifyHttpDhsmConnection, "Response")

RespModifyFilesystemDHSM::RespModifyFilesystemDHSM(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {}
CELERRA_TASK_UNSERIALIZE(RespModifyFilesystemDHSM, "Response")

bool RespDeleteDhsmConnection::UnSerializeXML() {
  ReplyDocument doc;
  if (!CheckResponsePackage("Response", doc)) {
    CEL_ERROR(m_Event, "Unable to CheckResponsePackage");
    CEL_ERROR(m_Event, "Unable to UnSerializeXML");
    return false;
  }
  if (!ReadTaskStatus(doc.response, m_LastError, m_Event, GetMessageName())) {
    CEL_ERROR(m_Event, "Unable to UnSerializeXML");
    return false;
  }
  CEL_DEBUG(m_Event, 2, "UnSerializeXML success");
  return true;
}
