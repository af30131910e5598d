// `celerractl cifs ...`: list, show, create and delete CIFS shares; and the
// demo's CIFS share of the writeable checkpoint.
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
    return {{"pfsId", pfsId}, {"moverIdIsVdm", moverIdIsVdm}, {"moverId", moverId}, {"name", name},
            {"cifsServers", cifsServers}};
  }
};

bool Show(Runtime& rt, const std::string& name, ShowResult& out) {
  return rt.facade().GetCifsShareInfo(name, out.pfsId, out.moverIdIsVdm, out.moverId, out.name, out.cifsServers);
}

// The demo shares the writeable checkpoint made earlier in the tour (or the
// dataset's checkpoint) on the mover or VDM that serves it.
std::string DemoPath(Runtime& rt) { return "/" + (rt.demo().ckptName.empty() ? "fs1_ckpt1" : rt.demo().ckptName); }
std::string DemoMover(Runtime& rt) { return rt.demo().moverId.empty() ? "1" : rt.demo().moverId; }
const char kDemoShare[] = "demo_ckpt_share";

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
    rt.PrintObject({{"moverId", d->mover}, {"shareName", d->name}, {"moverIdIsVdm", d->vdm},
                    {"cifsServers", d->servers}});
    return kOk;
  });

  rt.AddDemoStep({56, "CIFS: share the writeable checkpoint, look it up, list all shares", [](Runtime& rt) {
                    std::string path = DemoPath(rt);
                    std::string mover = DemoMover(rt);
                    bool vdm = rt.demo().moverIsVdm;
                    rt.Say(std::string("NewCifsShare(") + kDemoShare + ", " + path + ", " + (vdm ? "VDM " : "mover ") +
                           mover + ", all CIFS servers)");
                    if (!rt.facade().NewCifsShare(kDemoShare, path, mover, vdm, {})) {
                      rt.Fail("NewCifsShare");
                      return false;
                    }
                    ShowResult r;
                    if (!Show(rt, kDemoShare, r)) {
                      rt.Fail("GetCifsShareInfo");
                      return false;
                    }
                    std::string servers;
                    for (const std::string& s : r.cifsServers) servers += (servers.empty() ? "" : ",") + s;
                    rt.Say("GetCifsShareInfo(" + std::string(kDemoShare) + "): file system " + r.pfsId + ", " +
                           (r.moverIdIsVdm ? "VDM " : "mover ") + r.moverId + ", servers " + servers);
                    std::vector<CelerraCIFSInfo_t> shares;
                    if (!rt.facade().GetCifsInfo(shares)) {
                      rt.Fail("GetCifsInfo");
                      return false;
                    }
                    rt.Say("GetCifsInfo: " + std::to_string(shares.size()) + " shares");
                    for (const CelerraCIFSInfo_t& s : shares)
                      rt.Say("  " + s.name + "  " + s.path + "  fs " + s.fileSystem + (s.moverIdIsVdm ? "  VDM " : "  mover ") +
                             s.mover);
                    return true;
                  }});
  rt.AddDemoStep({57, "CIFS: remove the share", [](Runtime& rt) {
                    std::string mover = DemoMover(rt);
                    if (!rt.facade().DeleteCifsShare(mover, kDemoShare, rt.demo().moverIsVdm, {})) {
                      rt.Fail("DeleteCifsShare");
                      return false;
                    }
                    rt.Say("DeleteCifsShare(mover " + mover + ", " + kDemoShare + "): ok");
                    return true;
                  }});
}

}  // namespace celcli
