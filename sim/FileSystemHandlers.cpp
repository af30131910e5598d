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

// The writers below append to the reply: a list of tens of thousands of
// file systems is written in one buffer, without a string per element.
void AppendFileSystem(std::string& x, const FileSystem& fs) {
  x += "<FileSystem";
  AppendA(x, "fileSystem", fs.id);
  AppendA(x, "name", fs.name);
  AppendA(x, "type", fs.type);
  AppendA(x, "volume", fs.volumeId.empty() ? "v" + fs.id : fs.volumeId);
  if (!fs.storagePools.empty()) AppendA(x, "storagePools", PoolList(fs.storagePools));
  x += " internalUse=\"false\" dataServicePolicies=\"Thin=No,Compressed=No,Mirrored=No\">\n";
  if (!fs.moverId.empty()) {
    x += fs.isCheckpoint && !fs.writeable ? "  <RoFileSystemHosts" : "  <RwFileSystemHosts";
    AppendA(x, "mover", fs.moverId);
    x += fs.moverIsVdm ? " moverIdIsVdm=\"true\"/>\n" : " moverIdIsVdm=\"false\"/>\n";
  }
  if (fs.isCheckpoint) {
    x += "  <CheckpointFileSystemData";
    AppendA(x, "checkpointOf", fs.checkpointOf);
    AppendA(x, "time", fs.time);
    x += "/>\n";
  } else {
    // Policies the library has no use for; it must read past them.
    x += "  <FileSystemPolicies autoExtend=\"false\" virtualProvisioning=\"false\">\n";
    for (const std::string& p : fs.policies) {
      x += "    <Policy";
      AppendA(x, "name", p);
      x += "/>\n";
    }
    x += "  </FileSystemPolicies>\n";
  }
  x += "</FileSystem>\n";
}

void AppendCapacity(std::string& x, const FileSystem& fs) {
  x += "<FileSystemCapacityInfo";
  AppendA(x, "fileSystem", fs.id);
  AppendA(x, "volumeSize", std::to_string(fs.volumeSize));
  x += ">\n  <ResourceUsage";
  AppendA(x, "spaceTotal", std::to_string(fs.spaceTotal));
  AppendA(x, "spaceUsed", std::to_string(fs.spaceUsed));
  AppendA(x, "filesTotal", std::to_string(fs.filesTotal));
  AppendA(x, "filesUsed", std::to_string(fs.filesUsed));
  x += "/>\n</FileSystemCapacityInfo>\n";
}

// `validPools`: the ids of every pool, one list for all file systems.
void AppendCapabilities(std::string& x, const std::string& validPools, const FileSystem& fs) {
  x += "<FileSystemCapabilities";
  AppendA(x, "fileSystem", fs.id);
  x += " canAutoExtend=\"true\">\n";
  if (!fs.poolId.empty()) {
    x += "  <StoragePoolBased";
    AppendA(x, "recommendedPool", fs.poolId);
    AppendA(x, "validPools", validPools);
  } else {
    x += "  <DiskVolumeBased";
    AppendA(x, "recommendedStorage", fs.volumeId);
    AppendA(x, "validStorages", fs.volumeId);
  }
  x += "/>\n</FileSystemCapabilities>\n";
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
      for (const FileSystem* fs : chosen) AppendFileSystem(body, *fs);
    if (wantCapacity)
      for (const FileSystem* fs : chosen)
        if (fs->mounted) AppendCapacity(body, *fs);
    if (wantCkpt) {
      for (const FileSystem* fs : chosen) {
        auto it = checkpointsOf.find(fs->id);
        if (fs->isCheckpoint || it == checkpointsOf.end()) continue;
        body += "<FileSystemCheckpointInfo" + A("fileSystem", fs->id) + A("savVolume", SaveVolumeOf(*fs)) +
                A("checkpoints", it->second) + "/>\n";
      }
    }
    if (wantCaps) {
      std::string validPools;
      for (const StoragePool& p : m.pools) validPools += (validPools.empty() ? "" : " ") + p.id;
      for (const FileSystem* fs : chosen) AppendCapabilities(body, validPools, *fs);
    }
    return Outcome::Ok(std::move(body));
  });
}

}  // namespace celsim
