// Mount operations: list the mounts of a mover or VDM, find the one at a
// path, and mount a file system (in practice a writeable checkpoint).
#include <cstdarg>
#include <cstdio>

#include "manage/ManageCelerraPrivate.h"
#include "messages/catalogue/MountMessages.h"

using celerra_internal::Exchange;
using celerra_internal::ExchangeTexts;
using celerra_internal::OnFailure;

namespace {

const char* const kGetMountPtsSignature =
    "bool ManageCelerra::GetMountPts(std::string, std::string, std::vector<std::__cxx11::basic_string<char> >&)";
const char* const kGetMountPtsInfoSignature = "ManageCelerra::GetMountPtsInfo";
const char* const kCreateMountSignature =
    "bool ManageCelerra::CreateMount(std::string, std::string, std::string, std::string)";

const char* const kLoginParametersMissing = "Control Host Login Parameters are not set,cannot proceed";
const char* const kInvalidInput = "Invalid input to API. Cannot proceed";

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), format, args);
    text.resize(static_cast<size_t>(n));
  }
  va_end(args);
  return text;
}

const char* BoolText(bool value) { return value ? "true" : "false"; }

// A text boolean of the caller's: exactly "true" or "false" (case matters),
// as the request carries it; anything else would be read by the server as
// "not a VDM" and answer for the wrong mover.
bool IsBoolText(const std::string& text) { return text == "true" || text == "false"; }
std::string BoolTextRefusal(const std::string& text) {
  return "Invalid input to API: moverIdIsVdm is [" + text + "], not \"true\" or \"false\". Cannot proceed";
}

// The step texts the mount operations share (none logs a line of its own
// for a failed send).
const char* const kAllocFailed = "Unable to allocate the XML request or response packet";
const char* const kInitFailed = "Unable to Initialize the HTTP client";
const char* const kLoginFailed = "Unabled to login into the control host";
const char* const kSerializeFailed = "Unable to serialize the XML request";

const ExchangeTexts kTexts = {kAllocFailed, kInitFailed, kLoginFailed, kSerializeFailed, nullptr};

using MountQuery = Exchange<CelerraXMLGetFSMountPointsReq, CelerraXMLGetFSMountPointsResp>;

// The mount list both lookups ask for, sent and parsed whole; false when it
// could not be (the facade's record says why).
bool AskForMounts(MountQuery& exchange, const std::string& moverId, const std::string& moverIdIsVdm,
                  const std::string& path) {
  if (!exchange.Made()) return false;
  exchange.request().m_sMoverId = moverId;
  exchange.request().m_sMoverIdIsVdm = moverIdIsVdm;
  exchange.request().m_sPath = path;
  if (!exchange.Send()) return false;
  exchange.response().UnSerializeCompleteXML();
  return true;
}

}  // namespace

bool ManageCelerra::GetMountPts(std::string moverId, std::string moverIdIsVdm, std::vector<std::string>& mountPaths) {
  celerra_internal::OperationLog log(*this, "GetMountPts");
  if (!HasLoginParameters()) return RefuseInput(kLoginParametersMissing);
  if (moverId.empty() || moverIdIsVdm.empty()) return RefuseInput(kInvalidInput);
  if (!IsBoolText(moverIdIsVdm)) return RefuseInput(BoolTextRefusal(moverIdIsVdm));
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting all Mount points for Mover Id[%s]", kGetMountPtsSignature, moverId.c_str());

  MountQuery exchange(*this, kTexts);
  const std::string closingText = Format("Unable to get mount points for Mover ID[%s]", moverId.c_str());
  OnFailure closing([&] {
    RecordFailure(closingText.c_str());
    CEL_ERROR(m_Event, "%s", closingText.c_str());
  });
  if (!AskForMounts(exchange, moverId, moverIdIsVdm, std::string())) return false;
  // A reply without any mount is a success with an empty list.
  exchange.response().GetMountPoints(mountPaths);
  if (!exchange.Accepted()) {
    CEL_ERROR(m_Event, "Error while getting mount points for Mover ID[%s]", moverId.c_str());
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::GetMountPtsInfo(std::vector<CelerraMountPointsInfo_t>& mounts, const std::string& moverId,
                                    const bool& moverIdIsVdm, const std::string& path) {
  celerra_internal::OperationLog log(*this, "GetMountPtsInfo");
  if (!HasLoginParameters()) return RefuseInput(kLoginParametersMissing);
  if (moverId.empty()) CEL_DEBUG(m_Event, 2, "%s: Getting all mount point info", kGetMountPtsInfoSignature);
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting all Mount points for Mover Id[%s]", kGetMountPtsInfoSignature,
            moverId.empty() ? "All" : moverId.c_str());

  MountQuery exchange(*this, kTexts);
  const std::string closingText = Format("Unable to get mount points for Mover ID[%s]", moverId.c_str());
  OnFailure closing([&] {
    RecordFailure(closingText.c_str());
    CEL_ERROR(m_Event, "%s", closingText.c_str());
  });
  if (!AskForMounts(exchange, moverId, BoolText(moverIdIsVdm), path)) return false;
  exchange.response().GetMountPointsInfo(mounts);
  if (!exchange.Accepted()) {
    CEL_ERROR(m_Event, "Error while getting mount points for Mover ID[%s]", moverId.c_str());
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::GetMountPointInfo(CelerraMountPointsInfo_t& mount, const std::string& path,
                                      const std::string& moverId, const bool& moverIdIsVdm) {
  celerra_internal::OperationLog log(*this, "GetMountPointInfo");
  // Without a path the query lists every mount, and the first of them would
  // be handed back as if it were the one asked for.
  if (path.empty()) return RefuseInput(kInvalidInput);
  std::vector<CelerraMountPointsInfo_t> found;
  bool listed = GetMountPtsInfo(found, moverId, moverIdIsVdm, path);
  if (!listed || found.empty()) {
    if (listed) m_LastError = CelerraError::NotFound("No mount at path [" + path + "]");
    CEL_ERROR(m_Event, "Unable to get mount points for mount path [%s]", path.c_str());
    return false;
  }
  mount = found.front();
  return true;
}

bool ManageCelerra::CreateMount(std::string mountPath, std::string moverId, std::string fileSystemId,
                                std::string moverIdIsVdm) {
  celerra_internal::OperationLog log(*this, "CreateMount");
  if (!HasLoginParameters()) return RefuseInput(kInvalidInput);
  if (mountPath.empty() || moverId.empty() || fileSystemId.empty() || moverIdIsVdm.empty()) {
    return RefuseInput(kInvalidInput);
  }
  if (!IsBoolText(moverIdIsVdm)) return RefuseInput(BoolTextRefusal(moverIdIsVdm));
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Mounting FS Id[%s] at [%s]", kCreateMountSignature, fileSystemId.c_str(),
            mountPath.c_str());

  const std::string failed =
      Format("Error while mounting FS Id[%s] on mount path [%s]", fileSystemId.c_str(), mountPath.c_str());
  Exchange<CelerraXMLCreateMountPointReq, CelerraXMLCreateMountPointResp> exchange(*this, kTexts);
  OnFailure closing([&] {
    RecordFailure(failed.c_str());
    CEL_ERROR(m_Event, "%s", failed.c_str());
  });
  if (!exchange.Made()) return false;
  CelerraXMLCreateMountPointReq& request = exchange.request();
  request.m_sMoverId = moverId;
  request.m_sMoverIdIsVdm = moverIdIsVdm;
  request.m_sPath = mountPath;
  request.m_sFileSystem = fileSystemId;
  if (!exchange.Send()) return false;
  // The session has already read the task's status from the reply; the
  // closing line says it failed (once).
  if (!exchange.Accepted()) return false;
  return closing.Succeeded();
}
