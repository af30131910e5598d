// The snapshot device name: the path on the data mover under which a
// writeable checkpoint's copy of a share's data can be read. Both entry
// points are exported under their plain (unmangled) names so that a host can
// look them up with dlsym.
#pragma once

#include <string>

#include "manage/ManageCelerra.h"
#include "platform/CelerraExport.h"

extern "C" {

// Self-contained: a facade of its own with job id `jobId` and the control
// station `host` with `user`/`password`, for this one call (its session
// ends with the call). Otherwise as the entry point below; the reason of a
// failure is in the log only, since the facade and its last error end with
// the call. Thread use: any thread, any number at once.
CELERRA_API bool Celerra_GetSnapDeviceName(unsigned long long jobId, const std::string& host, const std::string& user,
                                           const std::string& password, const std::string& sharePath,
                                           const std::string& fsId, const std::string& chkPtId,
                                           const std::string& chkPtName, std::string& snapDeviceName);

// With the caller's facade, its session and login. `sharePath` is the shared
// path as the mover sees it ("/" + file-system name, optionally "/" and a
// subdirectory; under "/root_vdm_" + VDM id for a file system on a VDM).
// When the share path lies under the file system's name, the answer is that
// path under the checkpoint's name, after the name lookup alone (no mount is
// looked for or made). Otherwise the checkpoint's mount is looked for on the
// mover and, failing that, the checkpoint `chkPtId` is mounted at "/" +
// `chkPtName`. `snapDeviceName` is written only on success.
//
// In: `fsId` (the file system the share lies in), `chkPtId` and `chkPtName`
// (the writeable checkpoint; a name that is empty or holds "/", or an empty
// `fsId`, is refused before anything is sent, with an ERROR_KIND_INPUT
// record). Out: `snapDeviceName`, e.g. "/ck1/dir" for the share "/fs1/dir",
// under "/root_vdm_<id>" on a VDM. Returns false on any failure, with the
// reason in the facade's last error and one error line (with the facade's
// job id), as every operation of the facade; success leaves a clean record
// and writes nothing at the default threshold. Never throws. Cost: one to three facade operations
// (the name lookup; the mount list; a mount task), each as the facade's.
// Thread use: the facade's, one thread at a time.
CELERRA_API bool Celerra_GetSnapDeviceNameWithManageCelerra(ManageCelerra& facade, const std::string& sharePath,
                                                            const std::string& fsId, const std::string& chkPtId,
                                                            const std::string& chkPtName, std::string& snapDeviceName);

}  // extern "C"

// The two entry points' types, for hosts that look them up at run time.
using Celerra_GetSnapDeviceName_t = bool (*)(unsigned long long, const std::string&, const std::string&,
                                             const std::string&, const std::string&, const std::string&,
                                             const std::string&, const std::string&, std::string&);
using Celerra_GetSnapDeviceNameWithManageCelerra_t = bool (*)(ManageCelerra&, const std::string&, const std::string&,
                                                              const std::string&, const std::string&, std::string&);
