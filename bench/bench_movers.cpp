// Reading large mover and pool replies, and the lookups end to end over HTTPS
// against the simulator.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "messages/catalogue/MoverMessages.h"
#include "messages/catalogue/StorageMessages.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"

namespace {

void PeakMemory(benchmark::State& state) {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["maxrss_kb"] = static_cast<double>(usage.ru_maxrss);
}

// A mover reply with `devices` data ports of four addresses each.
std::string MoverReply(int devices) {
  std::string x = "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>";
  for (int i = 0; i < devices; ++i) {
    std::string mover = std::to_string(i / 8);
    std::string base = "10." + std::to_string(i / 250) + "." + std::to_string(i % 250) + ".";
    if (i % 8 == 0)
      x += "<Mover mover=\"" + mover + "\" name=\"server_" + mover + "\"/><MoverDnsDomain mover=\"" + mover +
           "\" name=\"corp\" servers=\"10.255.0.1\" protocol=\"udp\"/>";
    x += "<LogicalNetworkDevice mover=\"" + mover + "\" name=\"cge" + std::to_string(i % 8) + "\" interfaces=\"" +
         base + "1 " + base + "2 " + base + "3 " + base + "4\"/>";
  }
  return x + "</Response></ResponsePacket>";
}

void BM_ParseMoverReply(benchmark::State& state) {
  std::string reply = MoverReply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    RespMoverQueryParams resp(1);
    resp.AppendXml(&reply[0], reply.size());
    bool ok = resp.UnSerializeXML();
    benchmark::DoNotOptimize(ok);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.counters["reply_bytes"] = static_cast<double>(reply.size());
  PeakMemory(state);
}
BENCHMARK(BM_ParseMoverReply)->Arg(100)->Arg(10000);

void BM_ParsePoolReply(benchmark::State& state) {
  std::string reply = "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>";
  for (int i = 0; i < state.range(0); ++i)
    reply += "<StoragePool pool=\"" + std::to_string(i) + "\" name=\"pool" + std::to_string(i) +
             "\" size=\"17592186044416\" usedSize=\"1099511627776\" movers=\"1 2 3 4\"/>";
  reply += "</Response></ResponsePacket>";
  for (auto _ : state) {
    CelerraXMLGetStgPoolsInfoResp resp(1);
    resp.AppendXml(&reply[0], reply.size());
    bool ok = resp.UnSerializeXML();
    benchmark::DoNotOptimize(ok);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PeakMemory(state);
}
BENCHMARK(BM_ParsePoolReply)->Arg(100)->Arg(10000);

// One facade, logged in once: the cost of each further lookup.
void BM_LookupsOverHttps(benchmark::State& state) {
  celsim::Simulator sim;
  if (!sim.Start()) {
    state.SkipWithError("simulator did not start");
    return;
  }
  ManageCelerra facade(1);
  facade.SetControlHostInfo(sim.address(), celsim::Simulator::Options().user, celsim::Simulator::Options().password);
  std::map<std::string, std::string> names;
  std::set<std::string> aliases;
  std::vector<CelerraStgPoolInfo_t> pools;
  for (auto _ : state) {
    bool ok = facade.GetMoverNames(names) && facade.GetAliasList("192.0.2.10", aliases) && facade.GetStgPoolInfo(pools);
    if (!ok) state.SkipWithError("lookup failed");
  }
  PeakMemory(state);
}
BENCHMARK(BM_LookupsOverHttps)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  EvDebug::SetLevel(-100);  // measure the work, not the log
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
