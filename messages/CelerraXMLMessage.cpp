#include "messages/CelerraXMLMessage.h"

#include <algorithm>

#include "messages/internal/TaskStatus.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"
#include "platform/OXPlatformInfo.h"

using namespace celerra_internal;

const std::string& CelerraXMLNamespace() {
  static const std::string uri = [] {
    std::string value = "urn:celerra:xml-api:v1";
    std::string configured;
    if (OXPlatformInfo().getString("Vantrel", "sCELERRAXMLNS", &configured) && !configured.empty())
      value = configured;
    return value;
  }();
  return uri;
}

// ------------------------------------------------------------------ requests

// The reply parser needs no process-wide start-up: a message object touches
// no state outside itself.
CelerraXMLMessageReq::CelerraXMLMessageReq() : m_bSensitiveXML(false), m_JobId(0) {}

CelerraXMLMessageReq::CelerraXMLMessageReq(unsigned long long jobId, bool sensitiveXML,
                                           const std::string& sensitiveText)
    : m_bSensitiveXML(sensitiveXML), m_sSensitiveText(sensitiveText), m_JobId(jobId) {
  m_Event.setJobId(static_cast<long long>(jobId));
}

CelerraXMLMessageReq::~CelerraXMLMessageReq() = default;

std::string CelerraXMLMessageReq::Escape(const std::string& value) { return XmlEscape(value); }

std::string CelerraXMLMessageReq::Attr(const char* name, const std::string& value) { return XmlAttr(name, value); }

std::string CelerraXMLMessageReq::GetSerializedXML() { return m_sSerializedXML; }

const char* CelerraXMLMessageReq::GetMessageName() { return "CelerraXMLMessageReq"; }

void CelerraXMLMessageReq::StandardXML_Prefix(const std::string& outer, const std::string& inner,
                                              const std::string& packetAttributes) {
  m_sSerializedXML.clear();
  m_sSerializedXML += "<?xml version=\"1.0\"?>\n";
  m_sSerializedXML += "<RequestPacket" + XmlAttr("xmlns", CelerraXMLNamespace()) + packetAttributes + ">\n";
  if (!outer.empty()) m_sSerializedXML += "  <" + outer + ">\n";
  if (!inner.empty()) m_sSerializedXML += "    <" + inner + ">\n";
}

void CelerraXMLMessageReq::StandardXML_Postfix(const std::string& outer, const std::string& inner) {
  if (!inner.empty()) m_sSerializedXML += "    </" + inner + ">\n";
  if (!outer.empty()) m_sSerializedXML += "  </" + outer + ">\n";
  m_sSerializedXML += "</RequestPacket>\n\n";
  if (!IsSensitive()) CEL_DEBUG(m_Event, 6, "m_sSerializedXML = %s", m_sSerializedXML.c_str());
}

// ----------------------------------------------------------------- responses

CelerraXMLMessageResp::CelerraXMLMessageResp() : m_JobId(0), m_eResponseType(0), m_bSensitiveXML(false) {}

CelerraXMLMessageResp::CelerraXMLMessageResp(unsigned long long jobId, bool sensitiveXML)
    : m_JobId(jobId), m_eResponseType(0), m_bSensitiveXML(sensitiveXML) {
  m_Event.setJobId(static_cast<long long>(jobId));
}

CelerraXMLMessageResp::~CelerraXMLMessageResp() = default;

namespace {

// The capacity for a reply text that needs `needed` bytes and holds `size`.
// A large reply arrives in thousands of chunks, and each doubling of the
// text would copy it into fresh pages: every page the copies touch costs a
// page fault, which on a virtual machine costs as much as parsing the page.
// Past 1 MB, room for eight times what has arrived is taken at once, in
// steps of at most 64 MB (pages that are never written are never touched);
// below, and when doubling gives more, the text doubles as strings do.
size_t ReplyCapacity(size_t size, size_t capacity, size_t needed) {
  constexpr size_t kLarge = 1 << 20, kMaxStep = 64 << 20;
  size_t grown = 2 * capacity;
  if (size >= kLarge) grown = std::max(grown, size + std::min(7 * size, kMaxStep));
  return std::max(grown, needed);
}

}  // namespace

void CelerraXMLMessageResp::AppendXml(char* data, unsigned long length) {
  if (!data) return;
  size_t needed = m_sXML.size() + length;
  if (needed > m_sXML.capacity()) m_sXML.reserve(ReplyCapacity(m_sXML.size(), m_sXML.capacity(), needed));
  m_sXML.append(data, length);
}

void CelerraXMLMessageResp::init() {
  m_sXML.clear();
  m_sTaskId.clear();
  m_sClientHandle.clear();
  ClearLastError();
}

eCelerraStatus CelerraXMLMessageResp::XlateStatus(std::string status) { return StatusOfSeverity(status); }

const char* CelerraXMLMessageResp::XlateStatus(eCelerraStatus status) { return SeverityOfStatus(status); }

void CelerraXMLMessageResp::ClearLastError() { m_LastError.clear(); }

CelerraError CelerraXMLMessageResp::GetLastError() { return m_LastError; }

std::string CelerraXMLMessageResp::GetLastTaskId() { return m_sTaskId; }

void CelerraXMLMessageResp::SetUnreadable(const std::string& why) {
  m_LastError.m_eStatus = STATUS_ERROR;
  m_LastError.m_sSeverity = "error";
  m_LastError.m_sMessage = why;
  m_LastError.m_eKind = ERROR_KIND_REPLY;
}

namespace {

const XmlElement* FirstOf(const std::vector<const XmlElement*>& list) { return list.empty() ? nullptr : list[0]; }

// The problems below `holder`, logged one by one; the record keeps the last.
void ReadProblems(const XmlElement* holder, eCelerraStatus status, const char* statusText, CelerraError& record,
                  EvEvent& event) {
  for (const XmlElement* problem : Elements(holder, "Problem")) {
    ReadProblem(problem, status, record);
    CEL_ERROR(event,
              "Error [%s] returned by Celerra, Component:[%s], facility:[%s],message:[%s], messageCode:[%s], "
              "severity:[%s], description:[%s], action:[%s], diagnostics:[%s]",
              statusText, record.m_sComponent.c_str(), record.m_sFacility.c_str(), record.m_sMessage.c_str(),
              record.m_sMessageCode.c_str(), record.m_sSeverity.c_str(), record.m_sDescription.c_str(),
              record.m_sAction.c_str(), record.m_sDiagnostics.c_str());
  }
}

}  // namespace

// The public entry points give the reply text back after their parse: a
// subclass may read its body from m_sXML again. The catalogue's responses
// parse through the overloads that take a document, which keep the text
// (read in place) and share the one parse between envelope and body.
bool CelerraXMLMessageResp::UnSerializeXML() {
  std::string text = m_sXML;
  ReplyDocument doc;
  bool ok = UnSerializeEnvelope(doc);
  m_sXML = std::move(text);
  return ok;
}

bool CelerraXMLMessageResp::UnSerializeEnvelope(ReplyDocument& doc) {
  ClearLastError();
  if (!m_bSensitiveXML) CEL_DEBUG(m_Event, 3, "m_sXML = %s", m_sXML.c_str());

  std::string statusText = "error";
  const XmlElement* holder = nullptr;
  bool ok = false;
  do {
    if (!doc.Parse(m_sXML)) {
      CEL_ERROR(m_Event, "Failed to get DOM Document from XML");
      SetUnreadable("Unreadable reply: " + doc.error());
      break;
    }
    std::vector<const XmlElement*> packets = doc.Envelope(ReplyDocument::kPacket);
    if (packets.empty()) {
      CEL_ERROR(m_Event, "Failed to get ResponsePacket node from XML");
      SetUnreadable("Unreadable reply: no ResponsePacket element");
      break;
    }
    if (packets.size() != 1) {
      CEL_ERROR(m_Event, "Inappropriate number [%lu] of ReponsePacket nodes in XML",
                static_cast<unsigned long>(packets.size()));
      SetUnreadable("Unreadable reply: " + std::to_string(packets.size()) + " ResponsePacket elements");
      break;
    }
    doc.packet = packets[0];
    std::vector<const XmlElement*> responses = Below(doc.Envelope(ReplyDocument::kResponse), doc.packet);
    const XmlElement* node = nullptr;
    bool fault = false;
    if (responses.size() == 1) {
      node = responses[0];
      doc.response = node;
    } else {
      std::vector<const XmlElement*> faults = Below(doc.Envelope(ReplyDocument::kPacketFault), doc.packet);
      fault = true;
      if (!faults.empty()) node = faults[0];
    }
    if (!node) {
      CEL_ERROR(m_Event, "Unable to get details of the last error that occurred from the file server");
      SetUnreadable("Unreadable reply: no Response or PacketFault element");
      break;
    }
    if (!fault) {
      std::string handle = Attr(node, "clientHandle");
      if (!handle.empty()) {
        m_sClientHandle = handle;
        CEL_DEBUG(m_Event, 5, "Got response for client handle [%s]", handle.c_str());
      }
      // The server answers an unknown id or an invalid request with a Fault
      // inside the Response, for queries and tasks alike.
      if (const XmlElement* inner = FirstOf(Below(doc.Envelope(ReplyDocument::kFault), node))) {
        fault = true;
        node = inner;
      }
    }
    if (fault) {
      statusText = Attr(node, "maxSeverity");
      holder = node;
      // A fault is never a success, whatever severity it names.
      if (XlateStatus(statusText) == STATUS_OK) statusText = "error";
    } else if (m_eResponseType == 0) {
      std::vector<const XmlElement*> statuses = Below(doc.Envelope(ReplyDocument::kQueryStatus), node);
      if (statuses.size() != 1) {
        CEL_DEBUG(m_Event, 5, "Tag QueryStatus is missing assuming that the last operation was a success");
        statusText = "ok";
      } else {
        statusText = Attr(statuses[0], "maxSeverity");
        holder = statuses[0];
      }
    } else if (m_eResponseType == 1) {
      std::vector<const XmlElement*> tasks = Below(doc.Envelope(ReplyDocument::kTaskResponse), node);
      const XmlElement* statusParent = nullptr;
      // The reply's status is the Status of its TaskResponse, or one right
      // inside the Response (a refused task may come back so, without
      // TaskResponse). A Status nested in a body element is that element's
      // business: taking it for the reply's would judge the task by it.
      if (tasks.empty()) {
        if (ChildElements(node, "Status").empty()) {
          CEL_ERROR(m_Event, "Tag TaskResponse is missing");
          SetUnreadable("Unreadable reply: task reply without TaskResponse");
          break;
        }
        statusParent = node;
      } else if (tasks.size() != 1) {
        CEL_ERROR(m_Event, "Inappropriate number [%lu] of TaskResponse nodes in XML",
                  static_cast<unsigned long>(tasks.size()));
        SetUnreadable("Unreadable reply: " + std::to_string(tasks.size()) + " TaskResponse elements");
        break;
      } else {
        statusParent = tasks[0];
        m_sTaskId = Attr(tasks[0], "taskId");
        CEL_DEBUG(m_Event, 2, "Got taskID [%s] for task [%s]", m_sTaskId.c_str(), GetMessageName());
      }
      std::vector<const XmlElement*> statuses = ChildElements(statusParent, "Status");
      if (statuses.empty()) {
        CEL_ERROR(m_Event, "Tag Status is missing");
        SetUnreadable("Unreadable reply: task reply without Status");
        break;
      }
      if (statuses.size() != 1) {
        CEL_ERROR(m_Event, "Inappropriate number [%lu] of Status nodes in XML",
                  static_cast<unsigned long>(statuses.size()));
        SetUnreadable("Unreadable reply: " + std::to_string(statuses.size()) + " Status elements");
        break;
      }
      statusText = Attr(statuses[0], "maxSeverity");
      holder = statuses[0];
    }

    eCelerraStatus status = XlateStatus(statusText);
    m_LastError.m_eStatus = status;
    if (status == STATUS_OK) {
      CEL_DEBUG(m_Event, 5, "Unserialized the response XML successfully");
      ok = true;
      break;
    }
    if (holder) {
      ReadProblems(holder, status, XlateStatus(status), m_LastError, m_Event);
    } else {
      CEL_ERROR(m_Event, "Unable to get details of the last error that occurred from the file server");
    }
  } while (false);

  if (!ok && m_LastError.m_eStatus != STATUS_OK) {
    CEL_ERROR(m_Event,
              "Error [%s] returned by Celerra, Component:[%s], facility:[%s],message:[%s], messageCode:[%s], "
              "severity:[%s]",
              XlateStatus(m_LastError.m_eStatus), m_LastError.m_sComponent.c_str(),
              m_LastError.m_sFacility.c_str(), m_LastError.m_sMessage.c_str(), m_LastError.m_sMessageCode.c_str(),
              m_LastError.m_sSeverity.c_str());
  }
  return ok;
}

bool CelerraXMLMessageResp::CheckResponsePackage(const std::string& tag) {
  std::string text = m_sXML;
  ReplyDocument doc;
  bool ok = CheckResponsePackage(tag, doc);
  m_sXML = std::move(text);
  return ok;
}

bool CelerraXMLMessageResp::CheckResponsePackage(const std::string& tag, ReplyDocument& doc) {
  ClearLastError();
  const char* name = GetMessageName();
  if (!m_bSensitiveXML) CEL_DEBUG(m_Event, 3, "<%s>: m_sXML = %s", name, m_sXML.c_str());
  bool ok = false;
  do {
    if (!doc.Parse(m_sXML)) {
      CEL_ERROR(m_Event, "<%s>: Failed to get DOM Document from XML", name);
      SetUnreadable("Unreadable reply: " + doc.error());
      break;
    }
    std::vector<const XmlElement*> packets = doc.Envelope(ReplyDocument::kPacket);
    if (packets.empty()) {
      CEL_ERROR(m_Event, "<%s>: Failed to get ResponsePacket node from XML", name);
      SetUnreadable("Unreadable reply: no ResponsePacket element");
      break;
    }
    if (packets.size() != 1) {
      CEL_ERROR(m_Event, "<%s>: Inappropriate number [%lu] of ReponsePacket nodes in XML", name,
                static_cast<unsigned long>(packets.size()));
      SetUnreadable("Unreadable reply: " + std::to_string(packets.size()) + " ResponsePacket elements");
      break;
    }
    doc.packet = packets[0];
    // Either tag is accepted: a RequestEx is answered with a ResponseEx.
    std::vector<const XmlElement*> responses = Below(doc.Envelope(ReplyDocument::kResponse), doc.packet);
    (void)tag;
    const XmlElement* fault = nullptr;
    if (responses.size() == 1) {
      doc.response = responses[0];
      fault = FirstOf(Below(doc.Envelope(ReplyDocument::kFault), doc.response));
    } else {
      std::vector<const XmlElement*> faults = Below(doc.Envelope(ReplyDocument::kPacketFault), doc.packet);
      if (!faults.empty()) fault = faults[0];
    }
    if (fault) {
      eCelerraStatus status = XlateStatus(Attr(fault, "maxSeverity"));
      if (status == STATUS_OK) status = STATUS_ERROR;
      ReadProblems(fault, status, XlateStatus(status), m_LastError, m_Event);
      m_LastError.m_eStatus = status;
      break;
    }
    if (!doc.response) {
      CEL_ERROR(m_Event, "<%s>: Failed to get Response/PacketFault nodes from XML", name);
      SetUnreadable("Unreadable reply: no Response or PacketFault element");
      break;
    }
    ok = true;
  } while (false);

  if (!ok && m_LastError.m_eStatus != STATUS_OK) {
    CEL_ERROR(m_Event,
              "Error [%s] returned by Celerra, Component:[%s], facility:[%s],message:[%s], messageCode:[%s], "
              "severity:[%s];MsgName=%s",
              XlateStatus(m_LastError.m_eStatus), m_LastError.m_sComponent.c_str(),
              m_LastError.m_sFacility.c_str(), m_LastError.m_sMessage.c_str(), m_LastError.m_sMessageCode.c_str(),
              m_LastError.m_sSeverity.c_str(), name);
  }
  return ok;
}

bool CelerraXMLMessageResp::CheckQueryStatus(ReplyDocument& doc) {
  if (!doc.response) return true;
  std::vector<const XmlElement*> statuses = Below(doc.Envelope(ReplyDocument::kQueryStatus), doc.response);
  if (statuses.size() != 1) return true;
  eCelerraStatus status = XlateStatus(Attr(statuses[0], "maxSeverity"));
  if (status == STATUS_OK) return true;
  m_LastError.m_eStatus = status;
  ReadProblems(statuses[0], status, XlateStatus(status), m_LastError, m_Event);
  if (m_LastError.m_sMessage.empty() && m_LastError.m_sMessageCode.empty())
    CEL_ERROR(m_Event, "Unable to get details of the last error that occurred from the file server");
  return false;
}
