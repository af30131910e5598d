// The server's verdict on a submitted task, read from a reply that passed
// the envelope check.
//
// CheckResponsePackage accepts any single Response, whatever status its
// TaskResponse carries, so a task response that relies on it alone would
// take a refused task for a submitted one. Such responses read the verdict
// with this helper and report a refusal through their last-error record
// (queries have CheckQueryStatus in the base class).
#pragma once

#include "messages/CelerraTypes.h"
#include "messages/internal/XmlReply.h"
#include "platform/EvDebug.h"

namespace celerra_internal {

// A maxSeverity/severity text as a status ("info" is a success that carries
// a notice; anything unknown is an error), and back.
eCelerraStatus StatusOfSeverity(const std::string& text);
const char* SeverityOfStatus(eCelerraStatus status);

// Fills `record` (cleared first) with `status` and one Problem element's
// details. Callers log the problem in their own words.
void ReadProblem(const XmlElement* problem, eCelerraStatus status, CelerraError& record);

// Reads the Status right inside the TaskResponse of `response` (the
// Response/ResponseEx element), or else one right inside the response; a
// Status nested deeper, in a body element, never counts.
// An absent status counts as ok, as the envelope check has it. When the
// status is not ok, `record` gets that status and the last Problem's details
// (each problem is logged with `messageName`), and the result is false.
bool ReadTaskStatus(const XmlElement* response, CelerraError& record, EvEvent& event, const char* messageName);

}  // namespace celerra_internal
