#include "messages/internal/TaskStatus.h"

#include "messages/ServerCodes.h"

namespace celerra_internal {

eCelerraStatus StatusOfSeverity(const std::string& text) {
  if (text == "ok" || text == "info") return STATUS_OK;
  if (text == "warning") return STATUS_WARNING;
  return STATUS_ERROR;
}

const char* SeverityOfStatus(eCelerraStatus status) {
  switch (status) {
    case STATUS_OK: return "ok";
    case STATUS_WARNING: return "warning";
    default: return "error";
  }
}

void ReadProblem(const XmlElement* problem, eCelerraStatus status, CelerraError& record) {
  record.clear();
  record.m_eStatus = status;
  record.m_sComponent = Attr(problem, "component");
  record.m_sFacility = Attr(problem, "facility");
  record.m_sMessage = Attr(problem, "message");
  record.m_sMessageCode = Attr(problem, "messageCode");
  record.m_sSeverity = Attr(problem, "severity");
  record.m_sDescription = Text(FirstElement(problem, "Description"));
  record.m_sAction = Text(FirstElement(problem, "Action"));
  record.m_sDiagnostics = Text(FirstElement(problem, "Diagnostics"));
  record.m_eKind = celerra_codes::ServerProblemKind(record);
}

bool ReadTaskStatus(const XmlElement* response, CelerraError& record, EvEvent& event, const char* messageName) {
  if (!response) return true;
  // As in the envelope parse: the TaskResponse's own Status, or one right
  // inside the Response; never a Status nested in a body element.
  const XmlElement* taskResponse = FirstElement(response, "TaskResponse");
  std::vector<const XmlElement*> statuses = ChildElements(taskResponse ? taskResponse : response, "Status");
  const XmlElement* holder = statuses.empty() ? nullptr : statuses[0];
  if (!holder) return true;
  eCelerraStatus status = StatusOfSeverity(Attr(holder, "maxSeverity"));
  if (status == STATUS_OK) return true;

  record.clear();
  record.m_eStatus = status;
  bool any = false;
  for (const XmlElement* problem : Elements(holder, "Problem")) {
    any = true;
    ReadProblem(problem, status, record);
    CEL_ERROR(event,
              "Error [%s] returned by Celerra, Component:[%s], facility:[%s],message:[%s], messageCode:[%s], "
              "severity:[%s], description:[%s], action:[%s], diagnostics:[%s];MsgName=%s",
              SeverityOfStatus(status), record.m_sComponent.c_str(), record.m_sFacility.c_str(),
              record.m_sMessage.c_str(), record.m_sMessageCode.c_str(), record.m_sSeverity.c_str(),
              record.m_sDescription.c_str(), record.m_sAction.c_str(), record.m_sDiagnostics.c_str(), messageName);
  }
  if (!any) {
    CEL_ERROR(event, "<%s>: Unable to get details of the last error that occurred from the file server", messageName);
  }
  return false;
}

}  // namespace celerra_internal
