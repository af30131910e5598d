// The installed package as an integrator meets it: installed to a prefix of
// its own, two outside programs (one through the CMake package, one through
// pkg-config) build against it and run without LD_LIBRARY_PATH, as does the
// installed celerractl; the headers carry none of the library's platform
// names; the tree still works after it is moved.
#include <sys/stat.h>

#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

std::string Env(const char* name) {
  const char* v = getenv(name);
  return v ? v : "";
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

class InstallTest : public SimTest {
 protected:
  // A command's output with its standard error, failing the test on a bad
  // exit status.
  std::string Must(const std::string& command) {
    int status = -1;
    std::string errFile = m_Temp->path() + "/command.stderr";
    std::string out = Shell(command + " 2>" + errFile, &status);
    EXPECT_EQ(status, 0) << command << "\n" << out << ReadFile(errFile);
    return out;
  }
  // Runs without the library path a build tree might lean on.
  std::string Bare(const std::string& command) { return "env -u LD_LIBRARY_PATH " + command; }
};

TEST_F(InstallTest, OutsideConsumersAndTheInstalledToolRunFromAnyPrefix) {
  const std::string prefix = m_Temp->path() + "/prefix";
  const std::string version = Env("CELERRA_VERSION");
  Must("cmake --install " + Env("CELERRA_BUILD_DIR") + " --prefix " + prefix);

  // What a caller includes, and nothing of the library's insides.
  for (const char* header :
       {"manage/ManageCelerra.h", "manage/SnapDeviceName.h", "manage/CelerraVersion.h", "messages/CelerraTypes.h",
        "messages/catalogue/CelerraRecords.h", "transport/CelerraTransportSettings.h", "platform/CelerraExport.h"})
    EXPECT_TRUE(Exists(prefix + "/include/celerra/" + std::string(header))) << header;
  EXPECT_FALSE(Exists(prefix + "/include/celerra/platform/EvDebug.h"));
  EXPECT_EQ(Shell("grep -rlE 'EvDebug|EvEvent|OxNamedMutex|CTuIPAddr|TuSetSleepHook' " + prefix + "/include"), "");
  for (const char* doc : {"doc/Celerra/LICENSE", "doc/Celerra/README.md", "doc/Celerra/doc/celerractl.md",
                          "doc/Celerra/doc/library.md", "doc/Celerra/doc/python.md", "man/man1/celerractl.1",
                          "man/man1/celerra-sim.1", "man/man3/libcelerra.3"})
    EXPECT_TRUE(Exists(prefix + "/share/" + std::string(doc))) << doc;
  EXPECT_TRUE(Exists(prefix + "/include/celerra/celerra.h"));

  // The .pc file names the prefix it was installed to.
  std::string pkgConfig = "PKG_CONFIG_PATH=" + prefix + "/lib/pkgconfig ";
  std::string flags = Must(pkgConfig + "pkg-config --cflags --libs celerra");
  EXPECT_NE(flags.find(prefix + "/lib/pkgconfig/../../include/celerra"), std::string::npos) << flags;
  EXPECT_EQ(flags.find("/usr/local"), std::string::npos) << flags;

  // One configure and one build of the two consumers, with this tree's
  // compiler and flags.
  const std::string build = m_Temp->path() + "/consumers";
  Must(pkgConfig + "cmake -S " + Env("CELERRA_SOURCE_DIR") + "/tests/consumer -B " + build +
       " -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=" + Env("CELERRA_CXX") +
       " '-DCMAKE_CXX_FLAGS=" + Env("CELERRA_CXX_FLAGS") + "' -DCMAKE_PREFIX_PATH=" + prefix);
  Must("cmake --build " + build);
  ScopedEnv password("CONSUMER_PASSWORD", kPassword);
  for (const char* consumer : {"consumer_cmake", "consumer_pkgconfig"}) {
    std::string out = Must(Bare(build + "/" + consumer + " " + sim().address() + " " + kUser));
    EXPECT_EQ(out,
              "libcelerra " + version + ": 6 file systems\nlog: 1 error line(s) for job 1\nlog off: 0 error line(s)\n")
        << consumer;
  }

  // A caller built with the old string layout is stopped before it could
  // read the library's strings as garbage.
  int status = 0;
  std::string refused = Shell(Env("CELERRA_CXX") + " -std=c++17 -D_GLIBCXX_USE_CXX11_ABI=0 -fsyntax-only -I" + prefix +
                                  "/include/celerra " + Env("CELERRA_SOURCE_DIR") + "/tests/consumer/consumer.cpp 2>&1",
                              &status);
  EXPECT_NE(status, 0);
  EXPECT_NE(refused.find("needs _GLIBCXX_USE_CXX11_ABI=1"), std::string::npos) << refused;

  // The installed tool finds the installed library by itself.
  EXPECT_EQ(Must(Bare(prefix + "/bin/celerractl --version")), "celerractl " + version + "\n");
  EXPECT_NE(Must("readelf -d " + prefix + "/bin/celerractl").find("$ORIGIN/../lib"), std::string::npos);
  std::string listed = Must(Bare("CELERRA_PASSWORD='" + std::string(kPassword) + "' XDG_CONFIG_HOME=" + m_Temp->path() +
                                 " " + prefix + "/bin/celerractl --host " + sim().address() + " --user " + kUser +
                                 " --pin " + sim().PublicKeyPin() + " -o json fs list"));
  EXPECT_EQ(listed.find("\"fsId\": \"21\"") != std::string::npos, true) << listed;

  // Moved elsewhere, the tree still describes and runs itself.
  const std::string moved = m_Temp->path() + "/moved";
  Must("mv " + prefix + " " + moved);
  flags = Must("PKG_CONFIG_PATH=" + moved + "/lib/pkgconfig pkg-config --cflags celerra");
  EXPECT_NE(flags.find(moved + "/"), std::string::npos) << flags;
  EXPECT_EQ(Must(Bare(moved + "/bin/celerractl --version")), "celerractl " + version + "\n");
  Shell("rm -rf " + moved + " " + build);
}

// The C interface from a C11 program built with the strictest warnings
// against the installed header and library: one agent flow and every kind
// of failure (c_agent.c says which), the broken replies from a second
// simulator that answers every request with a malformed document.
TEST_F(InstallTest, ACProgramRunsAnAgentFlowAndMeetsEveryFailureKind) {
  const std::string prefix = m_Temp->path() + "/prefix";
  Must("cmake --install " + Env("CELERRA_BUILD_DIR") + " --prefix " + prefix);
  celsim::Simulator::Options options = SimOptions();
  options.faults.push_back(KindFault(celsim::FaultKind::Malformed, "", -1));
  celsim::Simulator faulty(options);
  ASSERT_TRUE(faulty.Start());

  const std::string program = m_Temp->path() + "/c_agent";
  Must("gcc " + Env("CELERRA_CXX_FLAGS") + " -std=c11 -Wall -Wextra -pedantic -Werror " +
       "-DCELERRA_C_TEST_VERSION='\"" + Env("CELERRA_VERSION") + "\"' -o " + program + " " + Env("CELERRA_SOURCE_DIR") +
       "/tests/c_agent.c $(PKG_CONFIG_PATH=" + prefix +
       "/lib/pkgconfig pkg-config --cflags --libs celerra) -Wl,-rpath," + prefix + "/lib");
  ScopedEnv password("CONSUMER_PASSWORD", kPassword);
  EXPECT_EQ(
      Must(Bare(program + " " + sim().address() + " " + kUser + " '" + sim().PublicKeyPin() + "' " + faulty.address())),
      "ok\n");
}

}  // namespace
