// The server's message codes that this side treats as something other than
// a failure, in one place, each with who accepts it and why. A code not
// listed here is a refusal: its problem becomes the caller's last error.
//
// The simulator answers with these codes and the tests and celerractl read
// them: they should take them from here rather than spell the digits again.
#pragma once

#include <cstddef>
#include <string>

#include "messages/CelerraTypes.h"

namespace celerra_codes {

// The writeable checkpoint exists already, the baseline given by id.
// Accepted by CelerraXMLCreateRWChkPtResp: the task's reply is a success,
// and the facade reads the existing checkpoint's ids.
constexpr char kRWCheckpointExistsTask[] = "13690535947";
// The writeable checkpoint exists already, a new baseline asked for.
// Accepted by ManageCelerra::CreateRWChkPt, which returns the existing one.
constexpr char kRWCheckpointExistsNewBaseline[] = "13690535982";
// The name belongs to a file system or checkpoint already. Accepted by
// ManageCelerra::CreateRWChkPt, which returns the checkpoint of that name if
// the server lists one (and fails with the lookup's reason otherwise).
constexpr char kNameInUse[] = "13421840550";
// The checkpoint was deleted already. Accepted by ManageCelerra::DeleteChkPt
// (celerractl's `ckpt delete` reports it as alreadyDeleted).
constexpr char kCheckpointAlreadyDeleted[] = "13690535937";
// The export's path or the share's name is taken already. Accepted by
// CelerraXMLCreateNFSShareResp and RespCreateCifsShare; the facade then
// verifies the export or share with a lookup.
constexpr char kAlreadyExists[] = "13691060226";
// The export or share is not there. Accepted by ManageCelerra::DeleteNFSShare
// and ManageCelerra::DeleteCifsShare: what is not there counts as removed.
constexpr char kDoesNotExist[] = "13421840438";

// What CreateRWChkPt takes as "the checkpoint is there already".
constexpr const char* kRWCheckpointExists[] = {kRWCheckpointExistsNewBaseline, kNameInUse};

// The object the request names does not exist (a file system, checkpoint,
// pool, mover, VDM, export, share or CIFS server): the one list that decides
// ERROR_KIND_NOT_FOUND for a server's problem, wherever the reply is read
// (ServerProblemKind). A code here that an operation accepts (kDoesNotExist
// on delete) is matched before its kind matters.
constexpr const char* kNotFound[] = {
    "13421971970",  // file system, checkpoint or storage pool not found (a named query's warning)
    "13421842450",  // data mover not found
    "13421840385",  // VDM not found
    "13690601401",  // the mover or VDM of a mount does not exist
    "13690601402",  // the file system of a mount does not exist
    "13690601492",  // the data mover of an export or share does not exist
    "13690601495",  // the CIFS server or the HTTP feature's mover does not exist
    kDoesNotExist,  // the export or share does not exist
};

// True when `error` carries `code`.
inline bool Is(const CelerraError& error, const char* code) { return error.m_sMessageCode == code; }

// True when `error` carries one of `codes`.
template <size_t N>
bool IsOneOf(const CelerraError& error, const char* const (&codes)[N]) {
  for (const char* code : codes)
    if (Is(error, code)) return true;
  return false;
}

// The kind of a problem the server reported.
inline eCelerraErrorKind ServerProblemKind(const CelerraError& problem) {
  return IsOneOf(problem, kNotFound) ? ERROR_KIND_NOT_FOUND : ERROR_KIND_SERVER;
}

}  // namespace celerra_codes
