// File-system queries: every file system, or those named by id or alias,
// with the aspects the request selects (the file systems themselves,
// capacity figures, checkpoint save volumes, storage capabilities).
#include <unordered_map>

#include "sim/FileSystemReplies.h"
#include "sim/Simulator.h"

namespace celsim {

namespace {

bool Selected(const pugi::xml_node& aspects, const char* name) {
  return std::string(aspects.attribute(name).value()) == "true";
}

std::string PoolList(const std::vector<int>& pools) {
  std::string out;
  for (int p : pools) out += (out.empty() ? "" : " ") + std::to_string(p);
  return out;
}

std::string FileSystemXml(const FileSystem& fs) {
  std::string x = "<FileSystem" + A("fileSystem", fs.id) + A("name", fs.name) + A("type", fs.type) +
                  A("volume", fs.volumeId.empty() ? "v" + fs.id : fs.volumeId);
  if (!fs.storagePools.empty()) x += A("storagePools", PoolList(fs.storagePools));
  x += A("internalUse", "false") + A("dataServicePolicies", "Thin=No,Compressed=No,Mirrored=No") + ">\n";
  if (!fs.moverId.empty()) {
    const char* tag = fs.isCheckpoint && !fs.writeable ? "RoFileSystemHosts" : "RwFileSystemHosts";
    x += std::string("  <") + tag + A("mover", fs.moverId) + A("moverIdIsVdm", fs.moverIsVdm ? "true" : "false") +
         "/>\n";
  }
  if (fs.isCheckpoint) {
    x += "  <CheckpointFileSystemData" + A("checkpointOf", fs.checkpointOf) + A("time", fs.time) + "/>\n";
  } else {
    // Policies the library has no use for; it must read past them.
    x += "  <FileSystemPolicies" + A("autoExtend", "false") + A("virtualProvisioning", "false") + ">\n";
    for (const std::string& p : fs.policies) x += "    <Policy" + A("name", p) + "/>\n";
    x += "  </FileSystemPolicies>\n";
  }
  return x + "</FileSystem>\n";
}

std::string CapacityXml(const FileSystem& fs) {
  return "<FileSystemCapacityInfo" + A("fileSystem", fs.id) + A("volumeSize", std::to_string(fs.volumeSize)) +
         ">\n  <ResourceUsage" + A("spaceTotal", std::to_string(fs.spaceTotal)) +
         A("spaceUsed", std::to_string(fs.spaceUsed)) + A("filesTotal", std::to_string(fs.filesTotal)) +
         A("filesUsed", std::to_string(fs.filesUsed)) + "/>\n</FileSystemCapacityInfo>\n";
}

std::string CapabilitiesXml(const Model& m, const FileSystem& fs) {
  std::string x = "<FileSystemCapabilities" + A("fileSystem", fs.id) + A("canAutoExtend", "true") + ">\n";
  if (!fs.poolId.empty()) {
    std::string valid;
    for (const StoragePool& p : m.pools) valid += (valid.empty() ? "" : " ") + p.id;
    x += "  <StoragePoolBased" + A("recommendedPool", fs.poolId) + A("validPools", valid) + "/>\n";
  } else {
    x += "  <DiskVolumeBased" + A("recommendedStorage", fs.volumeId) + A("validStorages", fs.volumeId) + "/>\n";
  }
  return x + "</FileSystemCapabilities>\n";
}

}  // namespace

std::string SaveVolumeOf(const FileSystem& fs) { return fs.savVolId.empty() ? "9" + fs.id : fs.savVolId; }

std::string FileSystemNotFoundCode() { return "13421971970"; }

void RegisterFileSystemHandlers(Registry& registry) {
  registry.Add("FileSystemQueryParams", [](Model& m, const SimRequest& r) -> Outcome {
    pugi::xml_node aspects = r.body.child("AspectSelection");
    bool wantFs = Selected(aspects, "fileSystems");
    bool wantCapacity = Selected(aspects, "fileSystemCapacityInfos");
    bool wantCkpt = Selected(aspects, "fileSystemCheckpointInfos");
    bool wantCaps = Selected(aspects, "fileSystemCapabilities");

    // Selectors: by id and by alias (the file system's name); none selects all.
    std::vector<const FileSystem*> chosen;
    bool selective = false;
    for (pugi::xml_node n : r.body.children()) {
      std::string tag = n.name();
      if (tag == "FileSystem" || tag == "Alias") {
        selective = true;
        std::string key = tag == "FileSystem" ? n.attribute("fileSystem").value() : n.attribute("name").value();
        const FileSystem* fs = tag == "FileSystem" ? m.FindFs(key) : m.FindFsByName(key);
        if (!fs) {
          return Outcome::Warning(
              FileSystemNotFoundCode(),
              std::string(tag == "FileSystem" ? "File system id " : "File system ") + key + " not found");
        }
        chosen.push_back(fs);
      }
    }
    if (!selective)
      for (const FileSystem& fs : m.fileSystems) chosen.push_back(&fs);

    // Production file systems that have checkpoints, with their ids.
    std::unordered_map<std::string, std::string> checkpointsOf;
    if (wantCkpt) {
      for (const FileSystem& fs : m.fileSystems) {
        if (!fs.isCheckpoint) continue;
        std::string& list = checkpointsOf[fs.checkpointOf];
        list += (list.empty() ? "" : " ") + fs.id;
      }
    }

    std::string body;
    body.reserve(chosen.size() * 900);
    if (wantFs)
      for (const FileSystem* fs : chosen) body += FileSystemXml(*fs);
    if (wantCapacity)
      for (const FileSystem* fs : chosen)
        if (fs->mounted) body += CapacityXml(*fs);
    if (wantCkpt) {
      for (const FileSystem* fs : chosen) {
        auto it = checkpointsOf.find(fs->id);
        if (fs->isCheckpoint || it == checkpointsOf.end()) continue;
        body += "<FileSystemCheckpointInfo" + A("fileSystem", fs->id) + A("savVolume", SaveVolumeOf(*fs)) +
                A("checkpoints", it->second) + "/>\n";
      }
    }
    if (wantCaps)
      for (const FileSystem* fs : chosen) body += CapabilitiesXml(m, *fs);
    return Outcome::Ok(body);
  });
}

}  // namespace celsim
