// The two large lists: GetFSInfo (with and without compressed replies) and
// GetChkPointsInfo over HTTPS from the simulator, and the reply parse alone
// (AppendXml + UnSerializeXML on a captured reply). The time per record must
// stay flat from 1,000 to 50,000 records; a quadratic walk of the reply
// shows up as a growing per-record time.
#include <benchmark/benchmark.h>
#include <httplib.h>
#include <sys/resource.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"

namespace {

// One simulator per dataset size, kept for the whole run.
celsim::Simulator& SimWithScale(int scale) {
  static std::map<int, std::unique_ptr<celsim::Simulator>> sims;
  auto& slot = sims[scale];
  if (!slot) {
    celsim::Simulator::Options options;
    options.scale = scale;
    slot.reset(new celsim::Simulator(options));
    if (!slot->Start()) std::abort();
  }
  return *slot;
}

// The scale that gives about `records` file systems (each step of the scale
// adds a file system and a checkpoint, both listed) or checkpoints.
int FileSystemScale(int records) { return records / 2; }
int CheckpointScale(int records) { return records; }

std::unique_ptr<ManageCelerra> Facade(celsim::Simulator& sim) {
  std::unique_ptr<ManageCelerra> f(new ManageCelerra(1));
  celsim::Simulator::Options defaults;
  f->SetControlHostInfo(sim.address(), defaults.user, defaults.password);
  return f;
}

void Report(benchmark::State& state, size_t records) {
  state.counters["records"] = static_cast<double>(records);
  state.counters["per_record"] = benchmark::Counter(
      static_cast<double>(records), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The whole reply to `request`, as the simulator sends it (the journal keeps
// only the first MiB of a reply).
std::string FetchReply(celsim::Simulator& sim, CelerraXMLMessageReq& request) {
  std::string port = sim.address().substr(sim.address().rfind(':') + 1);
  httplib::SSLClient client("127.0.0.1", std::stoi(port));
  client.enable_server_certificate_verification(false);
  celsim::Simulator::Options defaults;
  auto login = client.Post("/Login", "user=" + defaults.user + "&password=" + defaults.password + "&Login=Login",
                           "application/x-www-form-urlencoded");
  if (!login || login->status != 200 || !request.SerializeXML()) return std::string();
  std::string cookie = login->get_header_value("Set-Cookie");
  httplib::Headers headers{{"Cookie", cookie.substr(0, cookie.find(';'))}};
  auto reply = client.Post("/servlets/CelerraManagementServices", headers, request.GetSerializedXML(), "text/xml");
  sim.ClearJournal();
  return reply && reply->status == 200 ? reply->body : std::string();
}

void QuietLogs() {
  EvDebug::SetSink([](int, const std::string&) {});
}

void BM_GetFSInfo(benchmark::State& state) {
  QuietLogs();
  celsim::Simulator& sim = SimWithScale(FileSystemScale(static_cast<int>(state.range(0))));
  auto facade = Facade(sim);
  std::vector<CelerraFileSystem_t> list;
  for (auto _ : state) {
    if (!facade->GetFSInfo(list)) state.SkipWithError("GetFSInfo failed");
    state.PauseTiming();
    sim.ClearJournal();
    state.ResumeTiming();
  }
  Report(state, list.size());
}

// The same list with replies sent as they are: the session reads the
// setting when it starts, which is inside the run.
void BM_GetFSInfoUncompressed(benchmark::State& state) {
  setenv("sCELERRACOMPRESSION", "no", 1);
  BM_GetFSInfo(state);
  unsetenv("sCELERRACOMPRESSION");
}

void BM_GetChkPointsInfo(benchmark::State& state) {
  QuietLogs();
  celsim::Simulator& sim = SimWithScale(CheckpointScale(static_cast<int>(state.range(0))));
  auto facade = Facade(sim);
  std::list<CelerraChkPtInfo> list;
  for (auto _ : state) {
    if (!facade->GetChkPointsInfo("", list)) state.SkipWithError("GetChkPointsInfo failed");
    state.PauseTiming();
    sim.ClearJournal();
    state.ResumeTiming();
  }
  Report(state, list.size());
}

template <class Resp>
void ParseOnly(benchmark::State& state, const std::string& reply, size_t (*count)(Resp&)) {
  std::string buffer = reply;
  size_t records = 0;
  for (auto _ : state) {
    Resp resp(1);
    resp.AppendXml(&buffer[0], buffer.size());
    if (!resp.UnSerializeXML()) state.SkipWithError("parse failed");
    records = count(resp);
  }
  Report(state, records);
  state.counters["reply_MiB"] = static_cast<double>(reply.size()) / (1024.0 * 1024.0);
}

void BM_ParseFSInfo(benchmark::State& state) {
  QuietLogs();
  celsim::Simulator& sim = SimWithScale(FileSystemScale(static_cast<int>(state.range(0))));
  CelerraXMLGetFSInfoReq request(1);
  std::string reply = FetchReply(sim, request);
  ParseOnly<CelerraXMLGetFSInfoResp>(state, reply, [](CelerraXMLGetFSInfoResp& r) { return r.m_vFileSystems.size(); });
}

void BM_ParseChkPtInfo(benchmark::State& state) {
  QuietLogs();
  celsim::Simulator& sim = SimWithScale(CheckpointScale(static_cast<int>(state.range(0))));
  CelerraXMLGetChkPtInfoReq request(1);
  std::string reply = FetchReply(sim, request);
  ParseOnly<CelerraXMLGetChkPtInfoResp>(state, reply, [](CelerraXMLGetChkPtInfoResp& r) { return r.m_lChkPts.size(); });
}

#define RECORD_SIZES Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond)

BENCHMARK(BM_GetFSInfo)->RECORD_SIZES;
BENCHMARK(BM_GetFSInfoUncompressed)->RECORD_SIZES;
BENCHMARK(BM_ParseFSInfo)->RECORD_SIZES;
BENCHMARK(BM_GetChkPointsInfo)->RECORD_SIZES;
BENCHMARK(BM_ParseChkPtInfo)->RECORD_SIZES;

}  // namespace

BENCHMARK_MAIN();
