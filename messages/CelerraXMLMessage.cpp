#include "messages/CelerraXMLMessage.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "messages/internal/OnFailure.h"
#include "messages/internal/RequestWriter.h"
#include "messages/internal/TaskStatus.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"
#include "platform/OXPlatformInfo.h"

using namespace celerra_internal;

const std::string& CelerraXMLNamespace() {
  static const std::string uri = [] {
    std::string value = "urn:celerra:xml-api:v1";
    std::string configured;
    if (OXPlatformInfo().getString("Vantrel", "sCELERRAXMLNS", &configured) && !configured.empty()) value = configured;
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
  m_sSerializedXML = PacketHead(packetAttributes);
  if (!outer.empty()) m_sSerializedXML += "  <" + outer + ">\n";
  if (!inner.empty()) m_sSerializedXML += "    <" + inner + ">\n";
}

void CelerraXMLMessageReq::StandardXML_Postfix(const std::string& outer, const std::string& inner) {
  if (!inner.empty()) m_sSerializedXML += "    </" + inner + ">\n";
  if (!outer.empty()) m_sSerializedXML += "  </" + outer + ">\n";
  m_sSerializedXML += PacketTail(PacketEnd::kBlankLine);
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

constexpr size_t kLargeReply = 1 << 20;

// The capacity for a reply text that needs `needed` bytes and holds `size`.
// A large reply arrives in thousands of chunks, and each doubling of the
// text would copy it into fresh pages: every page the copies touch costs a
// page fault, which on a virtual machine costs as much as parsing the page.
// Past 1 MB, room for eight times what has arrived is taken at once, in
// steps of at most 64 MB (pages that are never written are never touched);
// below, and when doubling gives more, the text doubles as strings do.
size_t ReplyCapacity(size_t size, size_t capacity, size_t needed) {
  constexpr size_t kMaxStep = 64 << 20;
  size_t grown = 2 * capacity;
  if (size >= kLargeReply) grown = std::max(grown, size + std::min(7 * size, kMaxStep));
  return std::max(grown, needed);
}

// Gives the text room for `capacity` bytes. Room of several MB is offered to
// the kernel for huge pages: a reply's pages are written once, front to
// back, and faulting them in 4 KiB at a time costs more than writing them.
// (Room that came from the heap keeps the advice after the reply; it only
// makes the heap's later use of those pages cheaper.)
void Reserve(std::string& text, size_t capacity) {
  constexpr uintptr_t kHuge = 2 << 20;
  text.reserve(capacity);
  if (text.capacity() < 2 * kHuge) return;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(text.data()) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t end = (reinterpret_cast<uintptr_t>(text.data()) + text.capacity()) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

}  // namespace

void CelerraXMLMessageResp::AppendXml(char* data, unsigned long length) {
  if (!data) return;
  size_t needed = m_sXML.size() + length;
  if (needed > m_sXML.capacity()) Reserve(m_sXML, ReplyCapacity(m_sXML.size(), m_sXML.capacity(), needed));
  m_sXML.append(data, length);
}

void CelerraXMLMessageResp::ExpectXml(unsigned long long bytes) {
  // A smaller reply grows cheaply; and a compressed one announces its
  // compressed length, which would only put off the large steps of growth.
  if (bytes < kLargeReply || bytes <= m_sXML.capacity() || bytes > m_sXML.max_size()) return;
  try {
    Reserve(m_sXML, static_cast<size_t>(bytes));
  } catch (const std::bad_alloc&) {
  }
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

void CelerraXMLMessageResp::SetUnreadable(const std::string& why) { m_LastError = CelerraError::Reply(why); }

bool CelerraXMLMessageResp::NumbersFit(const NumberReader& numbers) {
  if (numbers.error().empty()) return true;
  SetUnreadable("Unreadable reply: " + numbers.error());
  return false;
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

// The first steps both envelope reads take: the one parse and the single
// ResponsePacket. `prefix` goes in front of each log line.
bool ReadPacket(ReplyDocument& doc, std::string& xml, const std::string& prefix, CelerraError& record, EvEvent& event) {
  if (!doc.Parse(xml)) {
    CEL_ERROR(event, "%sFailed to get DOM Document from XML", prefix.c_str());
    record = doc.tooLarge() ? CelerraError::Failure(ERROR_KIND_REPLY_TOO_LARGE, doc.error())
                            : CelerraError::Reply("Unreadable reply: " + doc.error());
    return false;
  }
  std::vector<const XmlElement*> packets = doc.Envelope(ReplyDocument::kPacket);
  if (packets.empty()) {
    CEL_ERROR(event, "%sFailed to get ResponsePacket node from XML", prefix.c_str());
    record = CelerraError::Reply("Unreadable reply: no ResponsePacket element");
    return false;
  }
  if (packets.size() != 1) {
    CEL_ERROR(event, "%sInappropriate number [%lu] of ReponsePacket nodes in XML", prefix.c_str(),
              static_cast<unsigned long>(packets.size()));
    record = CelerraError::Reply("Unreadable reply: " + std::to_string(packets.size()) + " ResponsePacket elements");
    return false;
  }
  doc.packet = packets[0];
  return true;
}

// The summary line of a reply that failed with a status of its own.
void LogRefusal(const CelerraError& record, const std::string& suffix, EvEvent& event) {
  // A problem of the server's has had its line as it was read: not twice.
  if (record.m_eKind == ERROR_KIND_SERVER || record.m_eKind == ERROR_KIND_NOT_FOUND) return;
  CEL_ERROR(event,
            "Error [%s] returned by Celerra, Component:[%s], facility:[%s],message:[%s], messageCode:[%s], "
            "severity:[%s]%s",
            SeverityOfStatus(record.m_eStatus), record.m_sComponent.c_str(), record.m_sFacility.c_str(),
            record.m_sMessage.c_str(), record.m_sMessageCode.c_str(), record.m_sSeverity.c_str(), suffix.c_str());
}

// Reads the standard envelope of one parsed reply into the response's
// record: which element carries the reply's status (a fault, the
// QueryStatus of a query, the Status of a task), and that status with its
// problems.
class EnvelopeReader {
 public:
  struct Response {
    CelerraError& record;
    EvEvent& event;
    std::string& clientHandle;
    std::string& taskId;
    int responseType;  // 0: query, 1: task
    const char* messageName;
  };

  EnvelopeReader(ReplyDocument& doc, Response response) : m_Doc(doc), m_R(response) {}

  // True when the reply is readable and its status is ok.
  bool Read(std::string& xml) {
    if (!ReadPacket(m_Doc, xml, std::string(), m_R.record, m_R.event)) return false;
    if (!FindResponse()) return false;
    if (m_Fault) {
      m_StatusText = Attr(m_Node, "maxSeverity");
      m_Holder = m_Node;
      // A fault is never a success, whatever severity it names.
      if (StatusOfSeverity(m_StatusText) == STATUS_OK) m_StatusText = "error";
    } else if (m_R.responseType == 0) {
      ReadQueryStatus();
    } else if (m_R.responseType == 1 && !ReadTaskStatus()) {
      return false;
    }
    return Judge();
  }

 private:
  // The Response (or, without one, the packet's PacketFault), and a Fault
  // inside the Response.
  bool FindResponse() {
    std::vector<const XmlElement*> responses = Below(m_Doc.Envelope(ReplyDocument::kResponse), m_Doc.packet);
    if (responses.size() == 1) {
      m_Node = responses[0];
      m_Doc.response = m_Node;
    } else {
      m_Fault = true;
      m_Node = FirstOf(Below(m_Doc.Envelope(ReplyDocument::kPacketFault), m_Doc.packet));
    }
    if (!m_Node) {
      CEL_ERROR(m_R.event, "Unable to get details of the last error that occurred from the file server");
      m_R.record = CelerraError::Reply("Unreadable reply: no Response or PacketFault element");
      return false;
    }
    if (m_Fault) return true;
    std::string handle = Attr(m_Node, "clientHandle");
    if (!handle.empty()) {
      m_R.clientHandle = handle;
      CEL_DEBUG(m_R.event, 5, "Got response for client handle [%s]", handle.c_str());
    }
    // The server answers an unknown id or an invalid request with a Fault
    // inside the Response, for queries and tasks alike.
    if (const XmlElement* inner = FirstOf(Below(m_Doc.Envelope(ReplyDocument::kFault), m_Node))) {
      m_Fault = true;
      m_Node = inner;
    }
    return true;
  }

  void ReadQueryStatus() {
    std::vector<const XmlElement*> statuses = Below(m_Doc.Envelope(ReplyDocument::kQueryStatus), m_Node);
    if (statuses.size() != 1) {
      CEL_DEBUG(m_R.event, 5, "Tag QueryStatus is missing assuming that the last operation was a success");
      m_StatusText = "ok";
      return;
    }
    m_StatusText = Attr(statuses[0], "maxSeverity");
    m_Holder = statuses[0];
  }

  // The reply's status is the Status of its TaskResponse, or one right
  // inside the Response (a refused task may come back so, without
  // TaskResponse). A Status nested in a body element is that element's
  // business: taking it for the reply's would judge the task by it.
  bool ReadTaskStatus() {
    std::vector<const XmlElement*> tasks = Below(m_Doc.Envelope(ReplyDocument::kTaskResponse), m_Node);
    const XmlElement* statusParent = m_Node;
    if (tasks.empty() && ChildElements(m_Node, "Status").empty()) {
      CEL_ERROR(m_R.event, "Tag TaskResponse is missing");
      return Unreadable("Unreadable reply: task reply without TaskResponse");
    }
    if (tasks.size() > 1) {
      CEL_ERROR(m_R.event, "Inappropriate number [%lu] of TaskResponse nodes in XML",
                static_cast<unsigned long>(tasks.size()));
      return Unreadable("Unreadable reply: " + std::to_string(tasks.size()) + " TaskResponse elements");
    }
    if (tasks.size() == 1) {
      statusParent = tasks[0];
      m_R.taskId = Attr(tasks[0], "taskId");
      CEL_DEBUG(m_R.event, 2, "Got taskID [%s] for task [%s]", m_R.taskId.c_str(), m_R.messageName);
    }
    std::vector<const XmlElement*> statuses = ChildElements(statusParent, "Status");
    if (statuses.empty()) {
      CEL_ERROR(m_R.event, "Tag Status is missing");
      return Unreadable("Unreadable reply: task reply without Status");
    }
    if (statuses.size() != 1) {
      CEL_ERROR(m_R.event, "Inappropriate number [%lu] of Status nodes in XML",
                static_cast<unsigned long>(statuses.size()));
      return Unreadable("Unreadable reply: " + std::to_string(statuses.size()) + " Status elements");
    }
    m_StatusText = Attr(statuses[0], "maxSeverity");
    m_Holder = statuses[0];
    return true;
  }

  // The status found becomes the record's; its problems fill the rest.
  bool Judge() {
    eCelerraStatus status = StatusOfSeverity(m_StatusText);
    m_R.record.m_eStatus = status;
    if (status == STATUS_OK) {
      CEL_DEBUG(m_R.event, 5, "Unserialized the response XML successfully");
      return true;
    }
    if (m_Holder) {
      ReadProblems(m_Holder, status, SeverityOfStatus(status), m_R.record, m_R.event);
    } else {
      CEL_ERROR(m_R.event, "Unable to get details of the last error that occurred from the file server");
    }
    return false;
  }

  bool Unreadable(const std::string& why) {
    m_R.record = CelerraError::Reply(why);
    return false;
  }

  ReplyDocument& m_Doc;
  Response m_R;
  const XmlElement* m_Node = nullptr;  // the Response, or the fault
  bool m_Fault = false;
  std::string m_StatusText = "error";
  const XmlElement* m_Holder = nullptr;  // what holds the status's problems
};

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
  EnvelopeReader reader(doc, {m_LastError, m_Event, m_sClientHandle, m_sTaskId, m_eResponseType, GetMessageName()});
  bool ok = reader.Read(m_sXML);
  if (!ok && m_LastError.m_eStatus != STATUS_OK) LogRefusal(m_LastError, std::string(), m_Event);
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
  const std::string prefix = std::string("<") + name + ">: ";
  OnFailure closing([&] {
    if (m_LastError.m_eStatus != STATUS_OK) LogRefusal(m_LastError, std::string(";MsgName=") + name, m_Event);
  });
  if (!ReadPacket(doc, m_sXML, prefix, m_LastError, m_Event)) return false;
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
    return false;
  }
  if (!doc.response) {
    CEL_ERROR(m_Event, "<%s>: Failed to get Response/PacketFault nodes from XML", name);
    SetUnreadable("Unreadable reply: no Response or PacketFault element");
    return false;
  }
  return closing.Succeeded();
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
