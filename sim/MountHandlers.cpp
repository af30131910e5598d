// Mounts: the mount query and the new-mount task. A VDM sees its own mounts
// at the paths it mounted them; the physical mover that hosts the VDM sees
// the same mounts under /root_vdm_<VDM id>.
#include <string>
#include <vector>

#include "sim/Simulator.h"

namespace celsim {

namespace {

// Message codes of this group's refusals.
const char* const kUnknownMover = "13690601401";
const char* const kUnknownFileSystem = "13690601402";
const char* const kPathInUse = "13690601403";
const char* const kBadPath = "13690601404";

// One mount as a mover reports it.
struct MountView {
  std::string path;
  std::string fsId;
  std::string moverId;
  bool moverIsVdm;
};

std::string VdmRoot(const std::string& vdmId) { return "/root_vdm_" + vdmId; }

// The mover (or VDM) named by a MoverOrVdm element, or null when there is
// none such: an unknown id, or a VDM flag that does not fit the id.
const Mover* FindTarget(Model& m, const std::string& id, const std::string& isVdm) {
  const Mover* mover = m.FindMover(id);
  if (!mover) return nullptr;
  if ((isVdm == "true") != mover->isVdm) return nullptr;
  return mover;
}

// The mounts `target` sees; all mounts as stored when `target` is null.
std::vector<MountView> MountsSeenBy(const Model& m, const Mover* target) {
  std::vector<MountView> out;
  for (const Mount& mount : m.mounts) {
    if (!target) {
      out.push_back({mount.path, mount.fsId, mount.moverId, mount.moverIsVdm});
    } else if (mount.moverId == target->id && mount.moverIsVdm == target->isVdm) {
      out.push_back({mount.path, mount.fsId, mount.moverId, mount.moverIsVdm});
    } else if (!target->isVdm && mount.moverIsVdm) {
      // A VDM's file systems live in the hosting mover's tree.
      for (const Mover& vdm : m.movers)
        if (vdm.isVdm && vdm.id == mount.moverId && vdm.hostMoverId == target->id)
          out.push_back({VdmRoot(vdm.id) + mount.path, mount.fsId, target->id, false});
    }
  }
  return out;
}

std::string MountXml(const MountView& v) {
  return "<Mount" + A("path", v.path) + A("fileSystem", v.fsId) + A("mover", v.moverId) +
         A("moverIdIsVdm", v.moverIsVdm ? "true" : "false") + A("disabled", "false") + A("ntCredential", "true") +
         "/>\n";
}

Outcome QueryMounts(Model& m, const SimRequest& r) {
  pugi::xml_node who = r.body.child("MoverOrVdm");
  const Mover* target = nullptr;
  if (who) {
    std::string id = who.attribute("mover").value();
    std::string isVdm = who.attribute("moverIdIsVdm").value();
    target = FindTarget(m, id, isVdm);
    if (!target) return Outcome::Error(kUnknownMover, "Mover or VDM " + id + " does not exist.");
  }
  pugi::xml_attribute pathAttr = r.body.attribute("path");
  std::string body;
  for (const MountView& v : MountsSeenBy(m, target))
    if (!pathAttr || v.path == pathAttr.value()) body += MountXml(v);
  return Outcome::Ok(std::move(body));
}

Outcome NewMount(Model& m, const SimRequest& r) {
  std::string path = r.body.attribute("path").value();
  std::string fsId = r.body.attribute("fileSystem").value();
  pugi::xml_node who = r.body.child("MoverOrVdm");
  std::string moverId = who.attribute("mover").value();
  std::string isVdm = who.attribute("moverIdIsVdm").value();

  const Mover* target = FindTarget(m, moverId, isVdm);
  if (!target) return Outcome::Error(kUnknownMover, "Mover or VDM " + moverId + " does not exist.");
  FileSystem* fs = m.FindFs(fsId);
  if (!fs) return Outcome::Error(kUnknownFileSystem, "File system " + fsId + " does not exist.");
  if (path.size() < 2 || path[0] != '/' || path.back() == '/')
    return Outcome::Error(kBadPath, "Mount path " + path + " is not valid.");
  for (const MountView& v : MountsSeenBy(m, target))
    if (v.path == path)
      return Outcome::Error(kPathInUse, "Mount path " + path + " is already in use on " + moverId + ".");

  Mount mount;
  mount.path = path;
  mount.fsId = fsId;
  mount.moverId = target->id;
  mount.moverIsVdm = target->isVdm;
  m.mounts.push_back(mount);
  fs->mounted = true;
  if (fs->moverId.empty()) {
    fs->moverId = target->id;
    fs->moverIsVdm = target->isVdm;
  }
  return Outcome::Ok();
}

}  // namespace

void RegisterMountHandlers(Registry& registry) {
  registry.Add("MountQueryParams", QueryMounts);
  registry.Add("NewMount", NewMount);
}

}  // namespace celsim
