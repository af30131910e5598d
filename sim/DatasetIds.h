// The ids of the simulator's default dataset, named once. The dataset is
// built from them, and the tests, benchmarks and the corpus maker ask for
// its objects by these names, so that a test says which object it means
// ("fs1's checkpoint", not "31").
#pragma once

namespace celsim {
namespace ids {

// Data movers.
constexpr const char kServer2[] = "1";  // server_2: most objects live here
constexpr const char kServer3[] = "2";  // server_3
constexpr const char kVdm1[] = "3";     // vdm_1, a VDM hosted by server_2

// Storage pools.
constexpr const char kPerformancePool[] = "40";  // clar_r5_performance
constexpr const char kArchivePool[] = "41";      // clarsas_archive

// File systems, checkpoints and volumes.
constexpr const char kFs1[] = "21";          // fs1: pool-based, exported, shared, archived
constexpr const char kFs2[] = "22";          // fs2: volume-based, on server_3
constexpr const char kFs10[] = "23";         // fs10: a name that has fs1 as prefix
constexpr const char kVdmFs1[] = "24";       // vdmfs1: mounted on the VDM
constexpr const char kFsUnmounted[] = "25";  // fs_unmounted
constexpr const char kFs1Ckpt1[] = "31";     // fs1_ckpt1: fs1's checkpoint, mounted
constexpr const char kFs1SavVol[] = "101";   // fs1's save volume
constexpr const char kFs2Volume[] = "300";   // the volume under fs2

}  // namespace ids
}  // namespace celsim
