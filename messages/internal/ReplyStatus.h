// The server's verdict inside a reply that passed the envelope check.
//
// CheckResponsePackage accepts any single Response, whatever status it
// carries, so responses that rely on it alone would take a refused task for
// a submitted one. Those responses read the verdict with this helper and
// report a refusal through their last-error record.
#pragma once

#include "messages/CelerraTypes.h"
#include "messages/internal/XmlReply.h"
#include "platform/EvDebug.h"

namespace celerra_internal {

// Reads the status of `response` (the Response/ResponseEx element): the
// QueryStatus of a query; for a task the Status inside its TaskResponse, or
// a Status directly inside the response. An absent status counts as ok, as
// the envelope check has it. When the status is not ok, `record` gets that
// status and the last Problem's details (each problem is logged with
// `messageName`), and the result is false.
bool ReadReplyStatus(const DOMElement* response, bool task, CelerraError& record, EvEvent& event,
                     const char* messageName);

}  // namespace celerra_internal
