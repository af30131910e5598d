#include "manage/SnapDeviceName.h"

#include <exception>
#include <vector>

#include "manage/ManageCelerraPrivate.h"
#include "platform/EvDebug.h"

namespace {

const char* const kSignature =
    "bool Celerra_GetSnapDeviceNameWithManageCelerra(ManageCelerra&, const string&, const string&, const "
    "string&, const string&, std::string&)";

// Every line of these entry points is a debug line of their own logger, with
// the source-location prefix: failures at the error threshold, the steps of
// a successful call above it, so that success writes nothing by default.
#define SNAP_LOG(log, fmt, ...) \
  (log).Debug(kSignature, "%s(%d): -Debug-: " fmt, celerra_basename(__FILE__), __LINE__, ##__VA_ARGS__)
#define SNAP_STEP(log, fmt, ...)                                                                                     \
  (log).DebugLvl(kSignature, EvDebug::LVL_SETUP, (log).JobId(), "%s(%d): -Debug-: " fmt, celerra_basename(__FILE__), \
                 __LINE__, ##__VA_ARGS__)

// Whether `name` is a whole component of `path`: a "/" before it and a "/"
// or the end after it, at any of its occurrences. A name that is only the
// start of a longer component (ck1 in /ck10 or /ck1_old) is another
// checkpoint's mount.
bool HasPathComponent(const std::string& path, const std::string& name) {
  if (name.empty()) return false;
  for (size_t pos = path.find(name); pos != std::string::npos; pos = path.find(name, pos + 1)) {
    size_t end = pos + name.size();
    if (pos > 0 && path[pos - 1] == '/' && (end == path.size() || path[end] == '/')) return true;
  }
  return false;
}

// The facade's job id on every line, and its record for the entry points'
// own refusals.
class SnapLog : public EvDebug {
 public:
  explicit SnapLog(celerra_internal::OperationLog& operation)
      : EvDebug(static_cast<long long>(operation.JobId())), m_Operation(operation) {}
  long long JobId() const { return static_cast<long long>(m_Operation.JobId()); }
  bool Refuse(const CelerraError& why) { return m_Operation.Fail(why); }

 private:
  celerra_internal::OperationLog& m_Operation;
};

bool SnapDeviceName(SnapLog& log, ManageCelerra& facade, const std::string& sharePath, const std::string& fsId,
                    const std::string& chkPtId, const std::string& chkPtName, std::string& snapDeviceName) {
  // The name becomes a directory at the mover's root: an empty one, or one
  // with a "/" in it, would name another place (or the root itself).
  if (chkPtName.empty() || chkPtName.find('/') != std::string::npos) {
    SNAP_LOG(log, "Invalid checkpoint name[%s], cannot proceed", chkPtName.c_str());
    return log.Refuse(CelerraError::Input("Invalid checkpoint name [" + chkPtName +
                                          "]: it must not be empty or hold \"/\"; nothing was sent"));
  }
  if (fsId.empty()) {
    SNAP_LOG(log, "Invalid file system ID[], cannot proceed");
    return log.Refuse(CelerraError::Input("Invalid file system id: it is empty; nothing was sent"));
  }

  std::string fsName, moverId;
  bool isVdm = false;
  if (!facade.GetFSNameByFSId(fsId, fsName, moverId, isVdm)) {
    // A reply without the name or the mover gives nothing to build a path from.
    SNAP_LOG(log, "Unable to get the file system name for file system ID[%s]", fsId.c_str());
    return false;
  }
  const char* isVdmText = isVdm ? "true" : "false";
  SNAP_STEP(log, "File System Name[%s], Mover ID[%s], Is Mover VDM[%s]", fsName.c_str(), moverId.c_str(), isVdmText);

  const std::string vdmRoot = isVdm ? "/root_vdm_" + moverId : std::string();
  const std::string fsPath = vdmRoot + "/" + fsName;

  // Direct case: the share lies in the file system, and the checkpoint's copy
  // of it lies at the same place under the checkpoint's mount.
  if (sharePath.compare(0, fsPath.size(), fsPath) == 0) {
    if (sharePath.size() == fsPath.size() || sharePath[fsPath.size()] == '/') {
      snapDeviceName = vdmRoot + "/" + chkPtName + sharePath.substr(fsPath.size());
      return true;
    }
    // fsPath is only the start of a longer name (/fs1 in /fs10).
  } else {
    SNAP_STEP(log, "Unable to find the file system name in the share path[%s].", sharePath.c_str());
  }

  SNAP_STEP(log, "Getting all Mount points to determine the export path for MoverID[%s].", moverId.c_str());
  std::vector<std::string> mountPaths;
  if (!facade.GetMountPts(moverId, isVdmText, mountPaths)) {
    SNAP_LOG(log, "Unable to get the file system mount points for file system ID[%s]", fsId.c_str());
    return false;
  }
  for (const std::string& mountPath : mountPaths) {
    SNAP_STEP(log, "Mount Point [%s]", mountPath.c_str());
    if (HasPathComponent(mountPath, chkPtName)) {
      SNAP_STEP(log, "Path[%s] will be exported", mountPath.c_str());
      snapDeviceName = vdmRoot + mountPath;
      return true;
    }
  }

  // Not mounted yet: mount it at the root under its own name. On a VDM the
  // mover sees that mount below the VDM's root, as in the cases above.
  const std::string mountPath = "/" + chkPtName;
  if (!facade.CreateMount(mountPath, moverId, chkPtId, isVdmText)) {
    SNAP_LOG(log, "Unable to mount RW Checkpoint[%s] at its root", chkPtName.c_str());
    return false;
  }
  snapDeviceName = vdmRoot + mountPath;
  return true;
}

}  // namespace

extern "C" bool Celerra_GetSnapDeviceNameWithManageCelerra(ManageCelerra& facade, const std::string& sharePath,
                                                           const std::string& fsId, const std::string& chkPtId,
                                                           const std::string& chkPtName, std::string& snapDeviceName) {
  // Nothing may unwind into a caller that found this function with dlsym.
  try {
    celerra_internal::OperationLog operation(facade, "Celerra_GetSnapDeviceNameWithManageCelerra");
    SnapLog log(operation);
    try {
      return SnapDeviceName(log, facade, sharePath, fsId, chkPtId, chkPtName, snapDeviceName);
    } catch (const std::exception& e) {
      SNAP_LOG(log, "Unable to get the snapshot device name for file system ID[%s]: %s", fsId.c_str(), e.what());
      return log.Refuse(CelerraError::Local(std::string("Unable to get the snapshot device name: ") + e.what()));
    }
  } catch (...) {
    EvDebug log(static_cast<EvDebugFileInstance*>(nullptr));
    SNAP_LOG(log, "Unable to get the snapshot device name for file system ID[%s]", fsId.c_str());
  }
  return false;
}

extern "C" bool Celerra_GetSnapDeviceName(unsigned long long jobId, const std::string& host, const std::string& user,
                                          const std::string& password, const std::string& sharePath,
                                          const std::string& fsId, const std::string& chkPtId,
                                          const std::string& chkPtName, std::string& snapDeviceName) {
  try {
    ManageCelerra facade(jobId);
    facade.SetControlHostInfo(host, user, password);
    return Celerra_GetSnapDeviceNameWithManageCelerra(facade, sharePath, fsId, chkPtId, chkPtName, snapDeviceName);
  } catch (...) {
    EvDebug log(static_cast<EvDebugFileInstance*>(nullptr));
    SNAP_LOG(log, "Unable to get the snapshot device name for file system ID[%s]", fsId.c_str());
  }
  return false;
}
