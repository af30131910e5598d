// What the mount query costs as a mover's mount list grows: the reply read
// alone, the whole operation over HTTPS, and the snapshot device name when
// its checkpoint's mount is the last of the list.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "manage/ManageCelerra.h"
#include "manage/SnapDeviceName.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "sim/DatasetIds.h"
#include "sim/Simulator.h"

namespace {

using namespace celsim::ids;

void PeakMemory(benchmark::State& state) {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
}

std::string MountReply(int64_t mounts) {
  std::string reply =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>\n";
  for (int64_t i = 0; i < mounts; ++i)
    reply += "<Mount path=\"/gen_fs" + std::to_string(i) + "\" fileSystem=\"" + std::to_string(100000 + i) +
             "\" mover=\"1\" moverIdIsVdm=\"false\" disabled=\"false\"/>\n";
  return reply + "</Response></ResponsePacket>\n";
}

void BM_ReadMountReply(benchmark::State& state) {
  const std::string reply = MountReply(state.range(0));
  for (auto _ : state) {
    CelerraXMLGetFSMountPointsResp resp(1);
    std::string copy = reply;
    resp.SetXML(&copy[0], copy.size());
    benchmark::DoNotOptimize(resp.UnSerializeCompleteXML());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PeakMemory(state);
}
BENCHMARK(BM_ReadMountReply)->Arg(100)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// A simulator whose mover 1 has `mounts` more mounts, the last at /ck_last.
std::unique_ptr<celsim::Simulator> StartWithMounts(int64_t mounts) {
  std::unique_ptr<celsim::Simulator> sim(new celsim::Simulator());
  sim->WithModel([mounts](celsim::Model& m) {
    for (int64_t i = 0; i < mounts; ++i) m.mounts.push_back({"/gen_fs" + std::to_string(i), kFs1, "1", false, false});
    m.mounts.push_back({"/ck_last", kFs1Ckpt1, "1", false, false});
    return 0;
  });
  if (!sim->Start()) sim.reset();
  return sim;
}

void BM_GetMountPts(benchmark::State& state) {
  auto sim = StartWithMounts(state.range(0));
  if (!sim) return state.SkipWithError("simulator did not start");
  ManageCelerra facade(1);
  facade.SetControlHostInfo(sim->address(), celsim::Simulator::Options().user, celsim::Simulator::Options().password);
  std::vector<std::string> paths;
  for (auto _ : state)
    if (!facade.GetMountPts("1", "false", paths)) state.SkipWithError("GetMountPts failed");
  state.SetItemsProcessed(state.iterations() * state.range(0));
  PeakMemory(state);
}
BENCHMARK(BM_GetMountPts)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SnapDeviceNameBySearch(benchmark::State& state) {
  auto sim = StartWithMounts(state.range(0));
  if (!sim) return state.SkipWithError("simulator did not start");
  ManageCelerra facade(1);
  facade.SetControlHostInfo(sim->address(), celsim::Simulator::Options().user, celsim::Simulator::Options().password);
  std::string result;
  for (auto _ : state)
    if (!Celerra_GetSnapDeviceNameWithManageCelerra(facade, "/elsewhere", kFs1, kFs1Ckpt1, "ck_last", result))
      state.SkipWithError("snapshot device name failed");
  PeakMemory(state);
}
BENCHMARK(BM_SnapDeviceNameBySearch)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
