// libFuzzer harness: arbitrary bytes as the reply of one response class
// (FUZZ_CLASS, set per target by the build). A parse may fail; it must never
// crash, leak, hang or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  EvDebug::SetLevel(-100);  // silence: the parse logs every rejection
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FUZZ_CLASS response;
  std::string reply(reinterpret_cast<const char*>(data), size);
  response.AppendXml(&reply[0], static_cast<unsigned long>(reply.size()));
  response.UnSerializeXML();
  CelerraError error = response.GetLastError();
  (void)error;
  (void)response.GetLastTaskId();
  return 0;
}
