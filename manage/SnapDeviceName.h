// The snapshot device name: the path on the data mover under which a
// writeable checkpoint's copy of a share's data can be read. Both entry
// points are exported under their plain (unmangled) names so that a host can
// look them up with dlsym.
#pragma once

#include <string>

#include "manage/ManageCelerra.h"
#include "platform/CelerraExport.h"

extern "C" {

// Self-contained: a facade of its own for this one call (its session and
// cookie file end with the call).
CELERRA_API bool Celerra_GetSnapDeviceName(unsigned long long jobId, const std::string& host,
                                           const std::string& user, const std::string& password,
                                           const std::string& sharePath, const std::string& fsId,
                                           const std::string& chkPtId, const std::string& chkPtName,
                                           std::string& snapDeviceName);

// With the caller's facade, its session and login. `sharePath` is the shared
// path as the mover sees it ("/" + file-system name, optionally "/" and a
// subdirectory; under "/root_vdm_" + VDM id for a file system on a VDM).
// When the share path does not give the answer, the checkpoint's mount is
// looked for on the mover and, failing that, the checkpoint `chkPtId` is
// mounted at "/" + `chkPtName`. `snapDeviceName` is written only on success.
CELERRA_API bool Celerra_GetSnapDeviceNameWithManageCelerra(ManageCelerra& facade, const std::string& sharePath,
                                                            const std::string& fsId, const std::string& chkPtId,
                                                            const std::string& chkPtName,
                                                            std::string& snapDeviceName);

}  // extern "C"

// The two entry points' types, for hosts that look them up at run time.
using Celerra_GetSnapDeviceName_t = bool (*)(unsigned long long, const std::string&, const std::string&,
                                             const std::string&, const std::string&, const std::string&,
                                             const std::string&, const std::string&, std::string&);
using Celerra_GetSnapDeviceNameWithManageCelerra_t = bool (*)(ManageCelerra&, const std::string&,
                                                              const std::string&, const std::string&,
                                                              const std::string&, std::string&);
