// Offline archiving: parsing a file system's DHSM connection list and a
// mover's HTTP feature, and one whole ConfigureFilerForOffLineServer against
// the simulated control station (happy path: no pauses).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "messages/catalogue/DhsmMessages.h"
#include "messages/catalogue/HttpFeatureMessages.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"

namespace {

void PeakMemory(benchmark::State& state) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_kib"] = static_cast<double>(usage.ru_maxrss);
}

std::string ConnectionReply(int n) {
  std::string x = "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>";
  for (int i = 0; i < n; ++i) {
    std::string id = std::to_string(i);
    x += "<DhsmConnectionConfig connection=\"" + id +
         "\" fileSystem=\"21\" readPolicyOverride=\"full\" "
         "setting=\"enabled\" writePolicy=\"full\"><CifsData localServer=\"CIFS_SRV1\"><SecondaryLocation "
         "hostFqn=\"archive" +
         id + ".corp.example\" share=\"stubs" + id + "\"/></CifsData></DhsmConnectionConfig>";
  }
  return x + "</Response></ResponsePacket>";
}

void BM_ParseConnections(benchmark::State& state) {
  EvDebug::SetLevel(-100);
  std::string reply = ConnectionReply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    RespDhsmConnectionQueryParams resp(1);
    resp.AppendXml(&reply[0], reply.size());
    bool ok = resp.UnSerializeXML();
    benchmark::DoNotOptimize(ok);
    if (!ok || resp.m_vConnections.size() != static_cast<size_t>(state.range(0))) state.SkipWithError("parse");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PeakMemory(state);
}
BENCHMARK(BM_ParseConnections)->Arg(10)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_ParseValidHosts(benchmark::State& state) {
  EvDebug::SetLevel(-100);
  std::string hosts;
  for (int i = 0; i < state.range(0); ++i)
    hosts += "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
             std::to_string(i % 256) + " ";
  std::string reply =
      "<ResponsePacket><ResponseEx><QueryStatus maxSeverity=\"ok\"/><MoverHttpFeature mover=\"1\" "
      "validHosts=\"" +
      hosts + "\"/></ResponseEx></ResponsePacket>";
  for (auto _ : state) {
    RespMoverHttpFeatureQueryParams resp(1);
    resp.AppendXml(&reply[0], reply.size());
    bool ok = resp.UnSerializeXML();
    if (!ok || resp.m_vMoversConfig[0].validHostList.size() != static_cast<size_t>(state.range(0)))
      state.SkipWithError("parse");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PeakMemory(state);
}
BENCHMARK(BM_ParseValidHosts)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

// One whole configuration: six exchanges over HTTPS (login once per facade).
void BM_ConfigureHappyPath(benchmark::State& state) {
  EvDebug::SetLevel(-100);
  celsim::Simulator::Options options;
  celsim::Simulator sim(options);
  if (!sim.Start()) {
    state.SkipWithError("simulator");
    return;
  }
  ManageCelerra facade(1);
  facade.SetControlHostInfo(sim.address(), options.user, options.password);
  for (auto _ : state) {
    bool ok = facade.ConfigureFilerForOffLineServer("//CIFS_SRV1/fs1share", "//127.0.0.1/archive", "arcuser", "secret",
                                                    false, true, false);
    if (!ok) state.SkipWithError("configure");
  }
  PeakMemory(state);
}
BENCHMARK(BM_ConfigureHappyPath)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
