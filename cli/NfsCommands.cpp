// `celerractl nfs ...`: list, show, create and delete NFS exports.
#include "cli/Cli.h"

namespace celcli {

namespace {

// `pfsId` as `nfs show` names the exported file system; `fileSystem` as the
// other lists (mounts, shares, LUNs) name it.
json ExportJson(const CelerraNFSInfo_t& e) {
  return {{"path", e.path},   {"pfsId", e.fileSystem},        {"fileSystem", e.fileSystem}, {"readOnly", e.readOnly},
          {"mover", e.mover}, {"accessHosts", e.accessHosts}, {"rwHosts", e.rwHosts},       {"rootHosts", e.rootHosts}};
}

const Columns kExportColumns = {
    {"path", "PATH"}, {"pfsId", "FS"}, {"mover", "MOVER"}, {"readOnly", "READ-ONLY", CellKind::Flag}};

struct ShowResult {
  std::string pfsId, moverId;
  bool readOnly = true;
  std::vector<std::string> accessHosts, rwHosts, rootHosts;

  json ToJson() const {
    return {{"pfsId", pfsId},     {"readOnly", readOnly},  {"moverId", moverId}, {"accessHosts", accessHosts},
            {"rwHosts", rwHosts}, {"rootHosts", rootHosts}};
  }
};

bool Show(Runtime& rt, const std::string& path, ShowResult& out) {
  return rt.facade().GetNFSInfo(path, out.pfsId, out.readOnly, out.moverId, out.accessHosts, out.rwHosts,
                                out.rootHosts);
}

}  // namespace

void RegisterNfsCommands(CLI::App& app, Runtime& rt) {
  CLI::App* nfs = app.add_subcommand("nfs", "NFS exports");
  nfs->require_subcommand(1);

  CLI::App* list = nfs->add_subcommand("list", "list every NFS export");
  rt.OnRun(list, [&rt] {
    std::vector<CelerraNFSInfo_t> exports;
    if (!rt.facade().GetNFSInfo(exports)) return rt.Fail("GetNFSInfo");
    rt.PrintList(exports, ExportJson, kExportColumns);
    return kOk;
  });

  auto showPath = std::make_shared<std::string>();
  CLI::App* show = nfs->add_subcommand("show", "show the NFS export at PATH");
  show->add_option("PATH", *showPath, "export path (a leading slash is added when missing)")->required();
  rt.OnRun(show, [&rt, showPath] {
    ShowResult r;
    if (!Show(rt, *showPath, r)) return rt.Fail("GetNFSInfo");
    rt.PrintObject(r.ToJson());
    return kOk;
  });

  struct CreateArgs {
    std::string name, mover;
    bool readOnly = false;
    std::vector<std::string> accessHosts, rwHosts, rootHosts;
  };
  auto c = std::make_shared<CreateArgs>();
  CLI::App* create = nfs->add_subcommand("create", "export a file system or checkpoint (by name) on a mover");
  create->add_option("NAME", c->name, "file system or checkpoint name; the export path is /NAME")->required();
  create->add_option("--mover", c->mover, "data mover id")->required();
  create->add_flag("--read-only", c->readOnly, "export read-only");
  create->add_option("--access-host", c->accessHosts, "host allowed access (repeatable)");
  create->add_option("--rw-host", c->rwHosts, "host allowed read-write access (repeatable)");
  create->add_option("--root-host", c->rootHosts, "host allowed root access (repeatable)");
  rt.OnRun(create, [&rt, c] {
    if (!rt.facade().CreateNFSShare(c->name, c->mover, c->readOnly, c->accessHosts, c->rwHosts, c->rootHosts))
      return rt.Fail("CreateNFSShare");
    rt.PrintObject({{"pfsOrChkPtName", c->name},
                    {"moverId", c->mover},
                    {"readOnly", c->readOnly},
                    {"accessHosts", c->accessHosts},
                    {"rwHosts", c->rwHosts},
                    {"rootHosts", c->rootHosts}});
    return kOk;
  });

  struct DeleteArgs {
    std::string path, mover;
  };
  auto d = std::make_shared<DeleteArgs>();
  CLI::App* del = nfs->add_subcommand("delete", "remove the NFS export at PATH from a mover");
  del->add_option("PATH", d->path, "export path")->required();
  del->add_option("--mover", d->mover, "data mover id")->required();
  rt.OnRun(del, [&rt, d] {
    if (!rt.facade().DeleteNFSShare(d->path, d->mover)) return rt.Fail("DeleteNFSShare");
    rt.PrintObject({{"shareName", d->path}, {"moverId", d->mover}});
    return kOk;
  });
}

}  // namespace celcli
