// The host-services layer: configuration, resolver, sleep seam, and the
// named mutex across processes.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/CTuIPAddr.h"
#include "platform/OXPI_Base.h"
#include "platform/OXPlatformInfo.h"
#include "platform/OxNamedMutex.h"
#include "platform/TuSleep.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

TEST(Platform, ConfigurationComesFromTheEnvironment) {
  OXPlatformInfo info;
  std::string value = "N";
  unsetenv("sCELERRALOGXMLMSG");
  EXPECT_EQ(info.getString("Vantrel", "sCELERRALOGXMLMSG", &value), 0);
  EXPECT_EQ(value, "N");
  ScopedEnv set("sCELERRALOGXMLMSG", "yes");
  EXPECT_NE(info.getString("Vantrel", "sCELERRALOGXMLMSG", &value), 0);
  EXPECT_EQ(value, "yes");
}

TEST(Platform, TempDirectoryIsNullWhenUnset) {
  {
    ScopedEnv set("CELERRA_TEMP_DIR", "/var/tmp");
    EXPECT_STREQ(OXPI_Base().getOrvaneTempDirectory(), "/var/tmp");
  }
  ScopedEnv empty("CELERRA_TEMP_DIR", "");
  EXPECT_EQ(OXPI_Base().getOrvaneTempDirectory(), nullptr);
}

TEST(Platform, ResolverTurnsNamesIntoAddresses) {
  CTuIPAddr addr;
  CTuString text;
  ASSERT_TRUE(CTuIPAddr::GetByName("127.0.0.1", addr, CTuIPAddr::IP_ANY).ok());
  ASSERT_TRUE(addr.GetAddressString(text).ok());
  EXPECT_STREQ(text.c_str(), "127.0.0.1");
  EXPECT_FALSE(CTuIPAddr::GetByName("no-such-host.invalid", addr, CTuIPAddr::IP_ANY).ok());
  EXPECT_FALSE(addr.GetAddressString(text).ok());
}

TEST(Platform, SleepSeamReplacesTheRealWait) {
  SleepRecorder recorder;
  TUSLEEP(15000);
  TUSLEEP(15000);
  EXPECT_EQ(SleepRecorder::Pauses(), (std::vector<unsigned long>{15000, 15000}));
}

TEST(Platform, NamedMutexExcludesAcrossProcesses) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  std::string journal = dir.path() + "/order";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    OxNamedMutex mutex("CelerraNamedMutex_");
    mutex.lock();
    FILE* f = fopen(journal.c_str(), "a");
    fputs("child-in\n", f);
    fflush(f);
    (void)!write(ready[1], "x", 1);
    usleep(200 * 1000);  // hold it while the parent asks for it
    fputs("child-out\n", f);
    fclose(f);
    mutex.unlock();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  OxNamedMutex mutex("CelerraNamedMutex_");
  ASSERT_TRUE(mutex.isValid());
  mutex.lock();
  FILE* f = fopen(journal.c_str(), "a");
  fputs("parent-in\n", f);
  fclose(f);
  mutex.unlock();
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(ReadFile(journal), "child-in\nchild-out\nparent-in\n");
  close(ready[0]);
  close(ready[1]);
}

TEST(Platform, NamedMutexIsReleasedWhenItsHolderDies) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    OxNamedMutex mutex("dying");
    mutex.lock();
    _exit(0);  // never unlocks
  }
  int status = 0;
  waitpid(child, &status, 0);
  OxNamedMutex mutex("dying");
  mutex.lock();  // would hang if the lock outlived its holder
  mutex.unlock();
  SUCCEED();
}

TEST(Platform, NamedMutexMayBeTakenAgainByItsHolder) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  OxNamedMutex mutex("again");
  mutex.lock();
  mutex.lock();
  mutex.unlock();
  mutex.unlock();
  SUCCEED();
}
