// celerra-make-corpus: the fuzzers' seed corpus, made from the simulator's
// real replies. Starts the simulator with its default dataset, runs every
// public facade operation and both exported entry points (with good and with
// unknown arguments), then again with every refusal shape, warning and
// notice problems, broken replies (truncated, not well-formed, HTTP 500),
// and writes each distinct reply from the journal into the output directory
// as <message type>-<hash>.xml. A reply in Response is also written in
// ResponseEx, as the control station answers extended requests.
//
//   celerra-make-corpus [--out DIR] [--log]   (default: fuzz/corpus; --log
//   keeps the library's log lines)
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "manage/SnapDeviceName.h"
#include "platform/CTuIPAddr.h"
#include "platform/EvDebug.h"
#include "platform/TuSleep.h"
#include "sim/Simulator.h"

namespace {

const char* kUser = "admin";
const char* kPassword = "corpus-password";

using Operation = std::function<void(ManageCelerra&, const std::string& address)>;

// Every public operation, with arguments that the default dataset answers,
// followed by ones it refuses (unknown ids and names).
std::vector<Operation> Operations() {
  std::vector<Operation> ops;
  auto add = [&ops](Operation op) { ops.push_back(std::move(op)); };
  // File systems
  add([](ManageCelerra& m, const std::string&) {
    std::string pfsId = "21", stgId, savVol, name, mover;
    eCelerraStgType type;
    bool vdm;
    m.GetPFSInfo(pfsId, type, stgId, savVol, name, mover, vdm);
    std::string byName, stgId2, savVol2, name2 = "fs2", mover2;
    m.GetPFSInfo(byName, type, stgId2, savVol2, name2, mover2, vdm);
    std::string unknown = "4711", stgId3, savVol3, name3, mover3;
    m.GetPFSInfo(unknown, type, stgId3, savVol3, name3, mover3, vdm);
  });
  add([](ManageCelerra& m, const std::string&) {
    std::vector<CelerraFileSystem_t> v;
    m.GetFSInfo(v);
  });
  add([](ManageCelerra& m, const std::string&) {
    std::string name, mover;
    bool vdm;
    m.GetFSNameByFSId("21", name, mover, vdm);
    m.GetFSNameByFSId("24", name, mover, vdm);
    m.GetFSNameByFSId("25", name, mover, vdm);
    m.GetFSNameByFSId("4711", name, mover, vdm);
  });
  // Checkpoints
  add([](ManageCelerra& m, const std::string&) {
    std::string base, id;
    m.CreateRWChkPt("21", STG_TYPE_POOL, "40", "fs1_rw", true, base, id);
    m.CreateRWChkPt("21", STG_TYPE_POOL, "40", "fs1_rw", true, base, id);  // already there
    std::string base2 = "31", id2;
    m.CreateRWChkPt("22", STG_TYPE_VOLUME, "300", "fs2_rw", false, base2, id2);
  });
  add([](ManageCelerra& m, const std::string&) {
    std::string id;
    m.CreateROChkPt("21", STG_TYPE_POOL, "40", "fs1_ro", id);
    m.CreateROChkPt("4711", STG_TYPE_POOL, "40", "nofs_ro", id);
  });
  add([](ManageCelerra& m, const std::string&) {
    std::string id, base;
    m.GetChkPointInfo("fs1_ckpt1", id, base);
    m.GetChkPointInfo("no_such_ckpt", id, base);
    std::list<CelerraChkPtInfo> all;
    m.GetChkPointsInfo("", all);
  });
  add([](ManageCelerra& m, const std::string&) {
    m.RestorePFSFromChkPt("fs1_ckpt1", "31", "21");
    m.RestorePFSFromChkPt("nothing", "4711", "21");
  });
  // NFS exports
  add([](ManageCelerra& m, const std::string&) {
    std::string pfsId, mover;
    bool ro;
    std::vector<std::string> a, rw, root;
    m.GetNFSInfo("/fs1", pfsId, ro, mover, a, rw, root);
    m.GetNFSInfo("/nothing", pfsId, ro, mover, a, rw, root);
    std::vector<CelerraNFSInfo_t> all;
    m.GetNFSInfo(all);
  });
  add([](ManageCelerra& m, const std::string&) {
    std::vector<std::string> a{"192.0.2.50"}, rw{"192.0.2.51", "192.0.2.52"}, root{"192.0.2.53"};
    m.CreateNFSShare("fs1_ckpt1", "1", false, a, rw, root);
    m.CreateNFSShare("nothing", "1", true, a, rw, root);
    m.DeleteNFSShare("/fs1_ckpt1", "1");
    m.DeleteNFSShare("/nothing", "1");
  });
  // CIFS shares
  add([](ManageCelerra& m, const std::string&) {
    std::string pfsId, mover, name;
    bool vdm;
    std::vector<std::string> servers;
    m.GetCifsShareInfo("fs1share", pfsId, vdm, mover, name, servers);
    m.GetCifsShareInfo("noshare", pfsId, vdm, mover, name, servers);
    std::vector<CelerraCIFSInfo_t> all;
    m.GetCifsInfo(all);
  });
  add([](ManageCelerra& m, const std::string&) {
    m.NewCifsShare("fs10share", "/fs10", "1", false, {"CIFS_SRV1"});
    m.NewCifsShare("vdmshare", "/vdmfs1", "3", true, {});
    m.NewCifsShare("fs1share", "/fs1", "1", false, {});  // already there
    m.NewCifsShare("badshare", "/fs1", "1", false, {"NO_SUCH_SERVER"});
    m.DeleteCifsShare("1", "fs10share", false, {"CIFS_SRV1"});
    m.DeleteCifsShare("1", "noshare", false, {});
  });
  // Mounts
  add([](ManageCelerra& m, const std::string&) {
    std::vector<std::string> paths;
    m.GetMountPts("1", "false", paths);
    m.GetMountPts("3", "true", paths);
    std::vector<CelerraMountPointsInfo_t> mounts;
    m.GetMountPtsInfo(mounts, "", false, "");
    CelerraMountPointsInfo_t mount;
    m.GetMountPointInfo(mount, "/fs1", "1", false);
    m.GetMountPointInfo(mount, "/nothing", "1", false);
    m.CreateMount("/fs1_ckpt1_rw", "1", "31", "false");
    m.CreateMount("/x", "1", "4711", "false");
  });
  // Movers, VDMs, CIFS servers
  add([](ManageCelerra& m, const std::string&) {
    std::map<std::string, std::string> names;
    m.GetMoverNames(names);
    std::vector<CelerraCifsServer_t> servers;
    m.GetCifsServers(servers, "1");
    m.GetCifsServers(servers, "3");
    std::set<std::string> aliases;
    m.GetAliasList("192.0.2.10", aliases);
    m.GetAliasList("198.51.100.99", aliases);
    std::string mover;
    try {
      m.GetMoverForVdm("3", mover);
      m.GetMoverForVdm("4711", mover);
    } catch (...) {
      // reports failure by throwing
    }
  });
  // Queries no operation sends, through the facade's general routine.
  add([](ManageCelerra& m, const std::string&) {
    ReqMoverHostQueryParams hostReq(1);
    RespMoverHostQueryParams hostResp(1);
    m.ProcessRequestAndResponse(hostReq, hostResp, EvDebug::LVL_ERROR);
    ReqCifsConfigQueryParams configReq(1, "1", false);
    RespCifsConfigQueryParams configResp(1);
    m.ProcessRequestAndResponse(configReq, configResp, EvDebug::LVL_ERROR);
  });
  // Storage inventory
  add([](ManageCelerra& m, const std::string&) {
    std::vector<CelerraStgPoolInfo_t> pools;
    m.GetStgPoolInfo(pools);
    std::vector<CelerraLunInfo_t> luns;
    m.GetLunInfo(luns);
  });
  // Offline archiving: a new archive server, one the file system already
  // stubs to, and a share that is not there.
  add([](ManageCelerra& m, const std::string&) {
    m.ConfigureFilerForOffLineServer("//CIFS_SRV1/fs1share", "//arkiv1/stubs", "arcuser", "arkiv-password", false,
                                     true, false);
    m.ConfigureFilerForOffLineServer("//CIFS_SRV1/fs1share", "//archive.corp.example/fs1stubs", "arcuser",
                                     "arkiv-password", false, false, false);
    m.ConfigureFilerForOffLineServer("//CIFS_SRV1/noshare", "//arkiv1/stubs", "arcuser", "arkiv-password", true,
                                     false, false);
  });
  // The exported entry points
  add([](ManageCelerra& m, const std::string& address) {
    std::string name;
    Celerra_GetSnapDeviceName(9, address, kUser, kPassword, "/fs1/dir1", "21", "31", "fs1_ckpt1", name);
    Celerra_GetSnapDeviceNameWithManageCelerra(m, "/root_vdm_3/vdmfs1", "24", "31", "fs1_ckpt1", name);
  });
  // Checkpoint deletion last: the others use the checkpoint.
  add([](ManageCelerra& m, const std::string&) {
    m.DeleteChkPt("31", "", false);
    m.DeleteChkPt("31", "", false);  // already gone
    m.DeleteChkPt("4711", "4712", true);
  });
  return ops;
}

// 64-bit FNV-1a: a stable name for a reply.
std::string Hash(const std::string& text) {
  uint64_t h = 1469598103934665603ULL;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
  return buf;
}

class Corpus {
 public:
  explicit Corpus(std::string dir) : m_Dir(std::move(dir)) {}

  // Adds a reply unless one equal to it (task ids aside) is there already.
  void Add(const std::string& type, const std::string& reply) {
    if (reply.empty()) return;
    static const std::regex taskId("taskId=\"[0-9]+\"");
    std::string key = std::regex_replace(reply, taskId, "taskId=\"\"");
    if (!m_Seen.emplace(key, type).second) return;
    std::string name = (type.empty() ? std::string("Unknown") : type) + "-" + Hash(reply) + ".xml";
    std::ofstream out(m_Dir + "/" + name, std::ios::binary | std::ios::trunc);
    out << reply;
    if (!out) {
      std::fprintf(stderr, "celerra-make-corpus: cannot write %s/%s\n", m_Dir.c_str(), name.c_str());
      m_Failed = true;
    }
  }
  size_t size() const { return m_Seen.size(); }
  bool failed() const { return m_Failed; }

 private:
  std::string m_Dir;
  std::map<std::string, std::string> m_Seen;
  bool m_Failed = false;
};

// Response becomes ResponseEx (and only the element, not ResponsePacket).
std::string AsResponseEx(const std::string& reply) {
  static const std::regex open("<Response([ >/])");
  static const std::regex close("</Response>");
  return std::regex_replace(std::regex_replace(reply, open, "<ResponseEx$1"), close, "</ResponseEx>");
}

struct Pass {
  std::string title;
  celsim::ReplyStyle style;
  std::vector<celsim::Fault> faults;
  bool responseEx = false;  // also write the ResponseEx form of each reply
};

celsim::Fault Refusal(const char* severity, celsim::FailureShape shape) {
  celsim::Fault f;
  f.kind = celsim::FaultKind::Problem;
  f.count = -1;
  f.problem.messageCode = "13690601492";
  f.problem.message = "The object does not exist.";
  f.problem.severity = severity;
  f.problem.description = "The request names an object that is not there.";
  f.problem.action = "Check the name & try again.";
  f.problem.diagnostics = "lookup <failed> at \"step 2\"";
  f.style.failureShape = shape;
  return f;
}

celsim::Fault Broken(celsim::FaultKind kind) {
  celsim::Fault f;
  f.kind = kind;
  f.count = -1;
  return f;
}

std::vector<Pass> Passes() {
  using celsim::FailureShape;
  std::vector<Pass> passes;
  celsim::ReplyStyle plain;
  plain.decorated = false;
  passes.push_back({"replies", celsim::ReplyStyle(), {}, true});
  passes.push_back({"undecorated replies", plain, {}, false});
  const std::pair<FailureShape, const char*> shapes[] = {{FailureShape::Status, "Status"},
                                                         {FailureShape::Fault, "Fault"},
                                                         {FailureShape::PacketFault, "PacketFault"},
                                                         {FailureShape::BareStatus, "BareStatus"}};
  for (const auto& shape : shapes) {
    celsim::ReplyStyle style;
    style.failureShape = shape.first;
    passes.push_back({std::string("refusals as ") + shape.second, style, {}, false});
    passes.push_back({std::string("problems as ") + shape.second, style, {Refusal("error", shape.first)}, false});
  }
  passes.push_back({"warnings", celsim::ReplyStyle(), {Refusal("warning", FailureShape::Status)}, false});
  passes.push_back({"notices", celsim::ReplyStyle(), {Refusal("info", FailureShape::Status)}, false});
  passes.push_back({"truncated", celsim::ReplyStyle(), {Broken(celsim::FaultKind::Truncated)}, false});
  passes.push_back({"not well-formed", celsim::ReplyStyle(), {Broken(celsim::FaultKind::Malformed)}, false});
  passes.push_back({"HTTP 500", celsim::ReplyStyle(), {Broken(celsim::FaultKind::Http500)}, false});
  return passes;
}

void NoSleep(unsigned long, const char*, int) {}

// The archive servers' names, without asking the network.
std::string Resolve(const std::string& host) {
  if (host == "arkiv1") return "192.0.2.50";
  if (host == "archive.corp.example") return "192.0.2.200";
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = "fuzz/corpus";
  bool log = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
      out = argv[++i];
    } else if (std::strcmp(argv[i], "--log") == 0) {
      log = true;
    } else {
      std::fprintf(stderr, "usage: celerra-make-corpus [--out DIR] [--log]\n");
      return 2;
    }
  }
  mkdir(out.c_str(), 0755);
  struct stat st;
  if (stat(out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr, "celerra-make-corpus: %s is not a directory\n", out.c_str());
    return 1;
  }
  if (!log) EvDebug::SetLevel(-100);  // the refusals would log a line each
  TuSetSleepHook(NoSleep);  // no retry pauses
  CTuIPAddr::SetResolverForTesting(&Resolve);

  Corpus corpus(out);
  for (const Pass& pass : Passes()) {
    // A fresh simulator per pass: every pass starts from the same dataset.
    celsim::Simulator::Options options;
    options.user = kUser;
    options.password = kPassword;
    celsim::Simulator sim(options);
    if (!sim.Start()) {
      std::fprintf(stderr, "celerra-make-corpus: simulator: %s\n", sim.error().c_str());
      return 1;
    }
    sim.SetStyle(pass.style);
    for (const celsim::Fault& f : pass.faults) sim.AddFault(f);
    for (const Operation& op : Operations()) {
      ManageCelerra facade(1);
      facade.SetControlHostInfo(sim.address(), kUser, kPassword);
      op(facade, sim.address());
    }
    size_t before = corpus.size();
    for (const celsim::JournalEntry& e : sim.Requests()) {
      corpus.Add(e.messageType, e.reply);
      if (pass.responseEx && e.reply.find("<ResponseEx") == std::string::npos)
        corpus.Add(e.messageType, AsResponseEx(e.reply));
    }
    std::printf("%-24s %3zu new replies\n", pass.title.c_str(), corpus.size() - before);
    sim.Stop();
  }
  std::printf("%zu replies in %s\n", corpus.size(), out.c_str());
  return corpus.failed() ? 1 : 0;
}
