// libcelerra.so as a host meets it: the dynamic symbols are the facade's
// public members, the two snapshot-device-name entry points and the C
// interface's functions (under their own version node), nothing else (no test seams, no private members, no message
// classes, no standard library instances); the entry points are found with dlsym and work on a facade the host made.
// Linked against the shared library, not the internal archive the other tests use.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "manage/SnapDeviceName.h"
#include "sim/DatasetIds.h"
#include "sim/Simulator.h"

using namespace celsim::ids;

namespace {

const char kPassword[] = "S3cr&t=pa55";

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string LibraryPath() { return Env("CELERRA_LIB_DIR") + "/libcelerra.so"; }

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

// The names of the public members declared in the facade's header: what
// stands before "(" in its public sections, and the static data members.
std::set<std::string> PublicMembers() {
  std::ifstream in(Env("CELERRA_SOURCE_DIR") + "/manage/ManageCelerra.h");
  std::stringstream text;
  text << in.rdbuf();
  std::string header = text.str();
  std::string cls = header.substr(header.find("class CELERRA_API ManageCelerra {"));
  std::set<std::string> names;
  bool isPublic = false;
  std::istringstream lines(cls);
  std::string line;
  static const std::regex function("(~?[A-Za-z_][A-Za-z0-9_]*)\\(");
  static const std::regex staticData("static [^(]* ([A-Za-z_][A-Za-z0-9_]*);");
  while (std::getline(lines, line)) {
    if (line.find(" public:") == 0) isPublic = true;
    if (line.find(" private:") == 0 || line.find(" protected:") == 0) isPublic = false;
    if (line.find("};") == 0) break;
    size_t start = line.find_first_not_of(' ');
    if (!isPublic || start == std::string::npos || line.compare(start, 2, "//") == 0) continue;
    std::smatch m;
    if (std::regex_search(line, m, staticData) || std::regex_search(line, m, function)) names.insert(m[1]);
  }
  return names;
}

// The functions the C interface's header declares.
std::set<std::string> CFunctions() {
  std::ifstream in(Env("CELERRA_SOURCE_DIR") + "/capi/celerra.h");
  std::stringstream text;
  text << in.rdbuf();
  std::string header = text.str();
  static const std::regex function("CELERRA_C_API [^;(]*[ *](celerra_[a-z0-9_]+)\\(");
  std::set<std::string> names;
  for (std::sregex_iterator it(header.begin(), header.end(), function), end; it != end; ++it) names.insert((*it)[1]);
  return names;
}

TEST(SharedLibrary, ExportsThePublicInterfaceOnly) {
  std::set<std::string> members = PublicMembers();
  ASSERT_TRUE(members.count("GetFSInfo") && members.count("ManageCelerra") && members.count("~ManageCelerra") &&
              members.count("bDummyVar"))
      << "the header's public members were not found";
  std::string symbols = Shell("nm -D --defined-only -C " + LibraryPath());
  ASSERT_FALSE(symbols.empty()) << "nm found nothing in " << LibraryPath();
  std::istringstream lines(symbols);
  std::string line;
  size_t count = 0;
  std::set<std::string> cFunctions = CFunctions(), cExported;
  ASSERT_TRUE(cFunctions.count("celerra_client_new") && cFunctions.count("celerra_last_error"));
  while (std::getline(lines, line)) {
    // "address type name@@VERSION"
    std::string name = line.size() > 19 ? line.substr(19) : line;
    name = name.substr(0, name.find("@@"));
    if (line[17] == 'A') continue;  // the version node itself
    ++count;
    if (name == "Celerra_GetSnapDeviceName" || name == "Celerra_GetSnapDeviceNameWithManageCelerra") continue;
    if (name.compare(0, 8, "celerra_") == 0) {
      EXPECT_TRUE(cFunctions.count(name)) << "exported, but not declared in celerra.h: " << name;
      EXPECT_NE(line.find("@@CELERRA_C_1.0"), std::string::npos) << line;
      cExported.insert(name);
      continue;
    }
    static const std::regex member("^ManageCelerra::(~?[A-Za-z_0-9]+)(\\[abi:cxx11\\])?(\\(.*)?$");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(name, m, member)) << "exported, but not the facade's: " << name;
    EXPECT_TRUE(members.count(m[1])) << "exported, but not a public member: " << name;
  }
  EXPECT_GT(count, members.size());  // the operations, plus constructors and destructors in their variants
  EXPECT_EQ(cExported, cFunctions);
  for (const char* hidden : {"SetResolverForTesting", "TuSetSleepHook", "RunExchange", "EvDebug", "EvEvent"})
    EXPECT_EQ(symbols.find(hidden), std::string::npos) << hidden;
}

TEST(SharedLibrary, LeavesTheHostsXmlParserAlone) {
  // Replies are read with a parser of the library's own: nothing of the
  // 16-bit XML parser library, which a host may use itself, is called, so
  // the library never starts or stops it in the host's process.
  std::string undefined = Shell("nm -D --undefined-only -C " + LibraryPath());
  ASSERT_NE(undefined.find("curl_easy_perform"), std::string::npos) << undefined;
  EXPECT_EQ(undefined.find("xercesc"), std::string::npos);
  EXPECT_EQ(undefined.find("XMLPlatformUtils"), std::string::npos);
}

TEST(SharedLibrary, EntryPointsAreUnmangled) {
  std::string symbols = Shell("nm -D --defined-only " + LibraryPath());
  EXPECT_NE(symbols.find(" T Celerra_GetSnapDeviceName@@"), std::string::npos) << symbols;
  EXPECT_NE(symbols.find(" T Celerra_GetSnapDeviceNameWithManageCelerra@@"), std::string::npos);
}

TEST(SharedLibrary, AHostFindsAndCallsBothEntryPointsWithDlsym) {
  char dir[] = "/tmp/celerra-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  setenv("CELERRA_TEMP_DIR", dir, 1);
  setenv("CELERRA_LOG_LEVEL", "-100", 1);
  celsim::Simulator::Options options;
  options.user = "admin";
  options.password = kPassword;
  celsim::Simulator sim(options);
  ASSERT_TRUE(sim.Start()) << sim.error();

  void* lib = dlopen(LibraryPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto selfContained = reinterpret_cast<Celerra_GetSnapDeviceName_t>(dlsym(lib, "Celerra_GetSnapDeviceName"));
  auto withFacade = reinterpret_cast<Celerra_GetSnapDeviceNameWithManageCelerra_t>(
      dlsym(lib, "Celerra_GetSnapDeviceNameWithManageCelerra"));
  ASSERT_NE(selfContained, nullptr);
  ASSERT_NE(withFacade, nullptr);
  std::string result;
  EXPECT_TRUE(selfContained(5, sim.address(), "admin", kPassword, "/fs1/x", kFs1, kFs1Ckpt1, "ck1", result));
  EXPECT_EQ(result, "/ck1/x");
  {
    ManageCelerra facade(7);
    facade.SetControlHostInfo(sim.address(), "admin", kPassword);
    EXPECT_TRUE(withFacade(facade, "/root_vdm_3/vdmfs1", kVdmFs1, kFs1Ckpt1, "ck2", result));
    EXPECT_EQ(result, "/root_vdm_3/ck2");
  }
  dlclose(lib);
  sim.Stop();
  rmdir(dir);
}

}  // namespace
