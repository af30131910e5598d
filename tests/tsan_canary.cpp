// Races planted on purpose, built only in the ThreadSanitizer build. Each case
// must be reported under the suite's suppressions (ctest checks the report
// and the function it names): they show that the suppressions for the
// uninstrumented HTTP library hide none of this project's races, neither a
// race in code that the library's worker threads run nor one in libcelerra.
#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <thread>
#include <vector>

#include "manage/ManageCelerra.h"

namespace {

int g_Hits = 0;  // deliberately unguarded

// What a simulator handler would be: project code called by the HTTP
// library's worker threads.
__attribute__((noinline)) void CanaryHandlerCountsUnguarded() { ++g_Hits; }

TEST(TsanCanary, RaceInAHandlerRunByTheHttpLibrarysThreads) {
  httplib::Server server;
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    CanaryHandlerCountsUnguarded();
    res.set_content("ok", "text/plain");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread listener([&] { server.listen_after_bind(); });
  std::vector<std::thread> clients;
  for (int i = 0; i < 4; ++i) {
    clients.emplace_back([port] {
      httplib::Client client("127.0.0.1", port);
      for (int j = 0; j < 5; ++j) client.Get("/");
    });
  }
  for (auto& t : clients) t.join();
  server.stop();
  listener.join();
}

// Two threads on one facade, which its contract forbids: the race lies in
// libcelerra's own frames. Short texts stay in the strings' inline buffers,
// so the race itself cannot corrupt the heap before it is reported.
TEST(TsanCanary, RaceOnOneFacadeFromTwoThreads) {
  ManageCelerra facade(1);
  std::thread a([&] { facade.SetControlHostInfo("cs-a", "user-a", "pw-a"); });
  std::thread b([&] { facade.SetControlHostInfo("cs-b", "user-b", "pw-b"); });
  a.join();
  b.join();
}

}  // namespace
