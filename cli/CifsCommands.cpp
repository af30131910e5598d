// `celerractl cifs ...`: list, show, create and delete CIFS shares.
#include "cli/Cli.h"

namespace celcli {

namespace {

json ShareJson(const CelerraCIFSInfo_t& s) {
  return {{"name", s.name},
          {"path", s.path},
          {"fileSystem", s.fileSystem},
          {"mover", s.mover},
          {"moverIdIsVdm", s.moverIdIsVdm},
          {"cifsServers", s.cifsServers}};
}

const Columns kShareColumns = {{"name", "NAME"},
                               {"path", "PATH"},
                               {"fileSystem", "FS"},
                               {"mover", "MOVER"},
                               {"moverIdIsVdm", "VDM", CellKind::Flag},
                               {"cifsServers", "CIFS SERVERS", CellKind::List}};

struct ShowResult {
  std::string pfsId, moverId, name;
  bool moverIdIsVdm = true;
  std::vector<std::string> cifsServers;

  json ToJson() const {
    return {{"pfsId", pfsId},
            {"moverIdIsVdm", moverIdIsVdm},
            {"moverId", moverId},
            {"name", name},
            {"cifsServers", cifsServers}};
  }
};

bool Show(Runtime& rt, const std::string& name, ShowResult& out) {
  return rt.facade().GetCifsShareInfo(name, out.pfsId, out.moverIdIsVdm, out.moverId, out.name, out.cifsServers);
}

}  // namespace

void RegisterCifsCommands(CLI::App& app, Runtime& rt) {
  CLI::App* cifs = app.add_subcommand("cifs", "CIFS shares");
  cifs->require_subcommand(1);

  CLI::App* list = cifs->add_subcommand("list", "list every CIFS share");
  rt.OnRun(list, [&rt] {
    std::vector<CelerraCIFSInfo_t> shares;
    if (!rt.facade().GetCifsInfo(shares)) return rt.Fail("GetCifsInfo");
    rt.PrintList(shares, ShareJson, kShareColumns);
    return kOk;
  });

  auto showName = std::make_shared<std::string>();
  CLI::App* show = cifs->add_subcommand("show", "show the CIFS share NAME");
  show->add_option("NAME", *showName, "share name")->required();
  rt.OnRun(show, [&rt, showName] {
    ShowResult r;
    if (!Show(rt, *showName, r)) return rt.Fail("GetCifsShareInfo");
    rt.PrintObject(r.ToJson());
    return kOk;
  });

  struct ShareArgs {
    std::string name, path, mover;
    bool vdm = false;
    std::vector<std::string> servers;
  };
  auto c = std::make_shared<ShareArgs>();
  CLI::App* create = cifs->add_subcommand("create", "share PATH as NAME on a mover or VDM");
  create->add_option("NAME", c->name, "share name")->required();
  create->add_option("--path", c->path, "path on the mover or VDM")->required();
  create->add_option("--mover", c->mover, "mover or VDM id")->required();
  create->add_flag("--vdm", c->vdm, "the id names a VDM");
  create->add_option("--server", c->servers, "CIFS server offering the share (repeatable; default: all)");
  rt.OnRun(create, [&rt, c] {
    if (!rt.facade().NewCifsShare(c->name, c->path, c->mover, c->vdm, c->servers)) return rt.Fail("NewCifsShare");
    rt.PrintObject({{"shareName", c->name},
                    {"path", c->path},
                    {"moverId", c->mover},
                    {"moverIdIsVdm", c->vdm},
                    {"cifsServers", c->servers}});
    return kOk;
  });

  auto d = std::make_shared<ShareArgs>();
  CLI::App* del = cifs->add_subcommand("delete", "remove the CIFS share NAME from a mover or VDM");
  del->add_option("NAME", d->name, "share name")->required();
  del->add_option("--mover", d->mover, "mover or VDM id")->required();
  del->add_flag("--vdm", d->vdm, "the id names a VDM");
  del->add_option("--server", d->servers, "withdraw the share from this CIFS server only (repeatable)");
  rt.OnRun(del, [&rt, d] {
    if (!rt.facade().DeleteCifsShare(d->mover, d->name, d->vdm, d->servers)) return rt.Fail("DeleteCifsShare");
    rt.PrintObject(
        {{"moverId", d->mover}, {"shareName", d->name}, {"moverIdIsVdm", d->vdm}, {"cifsServers", d->servers}});
    return kOk;
  });
}

}  // namespace celcli
