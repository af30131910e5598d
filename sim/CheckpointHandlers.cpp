// Checkpoints: the list query (all, or by alias), and the create (read-only
// in a pool or on a volume; writeable on an existing baseline or on a new
// one made in the same task), delete (plain or forced) and restore tasks,
// with the control station's message codes for the cases callers meet.
#include <algorithm>

#include "messages/ServerCodes.h"
#include "sim/FileSystemReplies.h"
#include "sim/Simulator.h"

namespace celsim {

namespace {

// The control station's codes.
// Those the library accepts live with it, beside who accepts each.
const char* const kRWExistsTask = celerra_codes::kRWCheckpointExistsTask;
const char* const kRWExistsNewBase = celerra_codes::kRWCheckpointExistsNewBaseline;
const char* const kNameInUse = celerra_codes::kNameInUse;
const char* const kAlreadyDeleted = celerra_codes::kCheckpointAlreadyDeleted;
const char* const kBaselineInUse = "13690535961";   // a baseline with writeable checkpoints, without force
const char* const kNotACheckpoint = "13690535940";  // the id is a production file system
const char* const kInvalid = "13421772802";         // a request the server cannot act on

std::string CheckpointXml(const FileSystem& c) {
  std::string x = "<Checkpoint" + A("checkpoint", c.id) + A("name", c.name) + A("checkpointOf", c.checkpointOf);
  if (!c.baselineId.empty()) x += A("baseline", c.baselineId);
  x += A("writeable", c.writeable ? "true" : "false") + A("time", c.time) + A("state", "active") +
       A("fileSystemSize", std::to_string(c.volumeSize)) + ">\n";
  if (!c.moverId.empty())
    x += std::string("  <") + (c.writeable ? "RwFileSystemHosts" : "RoFileSystemHosts") + A("mover", c.moverId) +
         A("moverIdIsVdm", c.moverIsVdm ? "true" : "false") + "/>\n";
  return x + "</Checkpoint>\n";
}

Outcome NotFound(const std::string& what) { return Outcome::Warning(FileSystemNotFoundCode(), what + " not found"); }

// A new, unmounted checkpoint of `pfs`.
FileSystem NewCheckpoint(Model& m, const FileSystem& pfs, const std::string& name) {
  FileSystem c;
  c.id = m.NewId();
  c.name = name;
  c.type = "ckpt";
  c.isCheckpoint = true;
  c.checkpointOf = pfs.id;
  c.poolId = pfs.poolId;
  c.volumeId = pfs.volumeId;
  c.storagePools = pfs.storagePools;
  c.volumeSize = pfs.volumeSize;
  c.mounted = false;
  c.time = "2026-12-06 08:00:00";
  return c;
}

Outcome CreateCheckpoint(Model& m, const SimRequest& r) {
  std::string pfsId = r.body.attribute("checkpointOf").value();
  std::string name = r.body.attribute("name").value();
  if (name.empty()) return Outcome::Error(kInvalid, "A checkpoint needs a name");
  FileSystem* pfs = m.FindFs(pfsId);
  if (!pfs) return NotFound("File system id " + pfsId);
  if (pfs->isCheckpoint) return Outcome::Error(kNotACheckpoint, "File system " + pfsId + " is a checkpoint itself");
  pugi::xml_node baseline = r.body.child("BaselineCheckpoint");

  if (FileSystem* existing = m.FindFsByName(name)) {
    if (baseline && existing->isCheckpoint && existing->writeable) {
      bool newBase = static_cast<bool>(baseline.attribute("baselineName"));
      return Outcome::Error(newBase ? kRWExistsNewBase : kRWExistsTask,
                            "Writeable checkpoint " + name + " already exists");
    }
    return Outcome::Error(kNameInUse, "The name " + name + " is already in use");
  }
  // Copy what the new records need before the vector grows.
  FileSystem pfsCopy = *pfs;
  if (pfs->savVolId.empty()) pfs->savVolId = SaveVolumeOf(*pfs);

  if (!baseline) {
    pugi::xml_node space = r.body.child("SpaceAllocationMethod");
    if (pugi::xml_node pool = space.child("StoragePool")) {
      std::string poolId = pool.attribute("pool").value();
      bool known = std::any_of(m.pools.begin(), m.pools.end(), [&](const StoragePool& p) { return p.id == poolId; });
      if (!known) return NotFound("Storage pool " + poolId);
    } else if (pugi::xml_node volume = space.child("Volume")) {
      if (std::string(volume.attribute("volume").value()).empty())
        return Outcome::Error(kInvalid, "A volume needs an id");
    }
    FileSystem c = NewCheckpoint(m, pfsCopy, name);
    m.fileSystems.push_back(c);
    return Outcome::Ok();
  }

  std::string baseId;
  if (baseline.attribute("baselineName")) {
    std::string baseName = baseline.attribute("baselineName").value();
    if (baseName.empty()) return Outcome::Error(kInvalid, "A baseline checkpoint needs a name");
    if (m.FindFsByName(baseName)) return Outcome::Error(kNameInUse, "The name " + baseName + " is already in use");
    FileSystem base = NewCheckpoint(m, pfsCopy, baseName);
    baseId = base.id;
    m.fileSystems.push_back(base);
  } else {
    baseId = baseline.attribute("baselineCheckpoint").value();
    const FileSystem* base = m.FindFs(baseId);
    if (!base || !base->isCheckpoint) return NotFound("Baseline checkpoint " + baseId);
    if (base->checkpointOf != pfsId || base->writeable)
      return Outcome::Error(kInvalid, "Checkpoint " + baseId + " cannot be a baseline for file system " + pfsId);
  }
  FileSystem rw = NewCheckpoint(m, pfsCopy, name);
  rw.writeable = true;
  rw.baselineId = baseId;
  m.fileSystems.push_back(rw);
  return Outcome::Ok();
}

Outcome DeleteCheckpoint(Model& m, const SimRequest& r) {
  std::string id = r.body.attribute("checkpoint").value();
  bool force = std::string(r.body.attribute("force").value()) == "true";
  if (m.deletedIds.count(id)) return Outcome::Error(kAlreadyDeleted, "Checkpoint " + id + " has been deleted already");
  FileSystem* c = m.FindFs(id);
  if (!c) return NotFound("Checkpoint id " + id);
  if (!c->isCheckpoint) return Outcome::Error(kNotACheckpoint, "File system " + id + " is not a checkpoint");
  // Writeable checkpoints built on this one go with it when forced.
  std::set<std::string> doomed = {id};
  for (const FileSystem& fs : m.fileSystems)
    if (fs.isCheckpoint && fs.baselineId == id) doomed.insert(fs.id);
  if (doomed.size() > 1 && !force)
    return Outcome::Error(kBaselineInUse, "Checkpoint " + id + " is the baseline of a writeable checkpoint");
  m.fileSystems.erase(std::remove_if(m.fileSystems.begin(), m.fileSystems.end(),
                                     [&](const FileSystem& fs) { return doomed.count(fs.id) > 0; }),
                      m.fileSystems.end());
  m.mounts.erase(
      std::remove_if(m.mounts.begin(), m.mounts.end(), [&](const Mount& mt) { return doomed.count(mt.fsId) > 0; }),
      m.mounts.end());
  m.deletedIds.insert(doomed.begin(), doomed.end());
  return Outcome::Ok();
}

}  // namespace

void RegisterCheckpointHandlers(Registry& registry) {
  registry.Add("CheckpointQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    std::vector<std::string> names;
    for (pugi::xml_node alias : r.body.children("Alias")) names.push_back(alias.attribute("name").value());
    std::string body;
    if (names.empty()) {
      size_t n = 0;
      for (const FileSystem& fs : m.fileSystems) n += fs.isCheckpoint;
      body.reserve(n * 200);
      for (const FileSystem& fs : m.fileSystems)
        if (fs.isCheckpoint) body += CheckpointXml(fs);
      return Outcome::Ok(std::move(body));
    }
    for (const std::string& name : names) {
      bool found = false;
      for (const FileSystem& fs : m.fileSystems) {
        if (fs.isCheckpoint && fs.name == name) {
          body += CheckpointXml(fs);
          found = true;
        }
      }
      if (!found) return NotFound("Checkpoint " + name);
    }
    return Outcome::Ok(std::move(body));
  });

  registry.Add("NewCheckpoint", CreateCheckpoint);
  registry.Add("DeleteCheckpoint", DeleteCheckpoint);

  registry.Add("RestoreCheckpoint", [](Model& m, const SimRequest& r) -> Outcome {
    std::string id = r.body.attribute("checkpoint").value();
    const FileSystem* c = m.FindFs(id);
    if (!c && m.deletedIds.count(id)) return Outcome::Error(kAlreadyDeleted, "Checkpoint " + id + " has been deleted");
    if (!c) return NotFound("Checkpoint id " + id);
    if (!c->isCheckpoint) return Outcome::Error(kNotACheckpoint, "File system " + id + " is not a checkpoint");
    return Outcome::Ok();
  });
}

}  // namespace celsim
