// celerra-make-corpus: the fuzzers' seed corpus, made from the simulator's
// real replies. Starts the simulator with its default dataset, runs every
// public facade operation and both exported entry points (with good and with
// unknown arguments, the fault matrix's list), then again with every refusal shape, warning and
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
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "platform/CTuIPAddr.h"
#include "platform/EvDebug.h"
#include "platform/TuSleep.h"
#include "sim/Simulator.h"
#include "tests/support/Operations.h"

namespace {

const char* kUser = "admin";
const char* kPassword = "corpus-password";

// Every public operation (tests/support/Operations.h): its good inputs,
// then the others. A throw is the operation's way of failing (GetMoverForVdm).
void RunEveryOperation(celsim::Simulator& sim) {
  for (const celtest::Operation& op : celtest::EveryOperation(kUser, kPassword)) {
    ManageCelerra facade(1);
    facade.SetControlHostInfo(sim.address(), kUser, kPassword);
    try {
      op.good(facade);
      op.more(facade, sim.address());
    } catch (...) {
    }
  }
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
  TuSetSleepHook(NoSleep);            // no retry pauses
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
    celtest::AddEchoHandler(sim);
    RunEveryOperation(sim);
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
