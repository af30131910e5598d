// libFuzzer harness: arbitrary bytes as the reply of one response class
// (FUZZ_CLASS, set per target by the build). A parse may fail; it must never
// crash, leak, hang or read out of bounds, and a parse that succeeds must
// not carry an error status (that would be a failure reported as success).
//
// Every input is read twice: by a response as constructed, and by one that
// holds what its operation sets before the exchange (fuzz/FuzzParse.h).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzParse.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"

namespace {

template <class T>
void Check(const uint8_t* data, size_t size, bool prepared) {
  celfuzz::Verdict v;
  if (!celfuzz::ParseAs<T>(data, size, prepared, v)) return;
  if (v.ok && v.status != STATUS_OK) abort();
  if (v.entryPointsDisagree) abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EvDebug::SetLevel(-100);  // silence: the parse logs every rejection
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check<FUZZ_CLASS>(data, size, false);
  Check<FUZZ_CLASS>(data, size, true);
  return 0;
}
