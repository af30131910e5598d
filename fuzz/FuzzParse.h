// What each operation sets in its response before the exchange (the id or
// name asked for), with values of the simulator's default dataset, so that a
// parse of a reply reaches the body checks that compare the reply with the
// request. Shared by the fuzz harness and the fuzz regression test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "sim/DatasetIds.h"

namespace celfuzz {

using namespace celsim::ids;

// Responses whose operation sets nothing before the exchange.
template <class T>
bool Prepare(T&) {
  return false;
}

inline bool Prepare(CelerraXMLGetPFSInfoResp& r) {
  r.m_sPFSId = kFs1;
  return true;
}
inline bool Prepare(CelerraXMLGetChkPtInfoResp& r) {
  r.m_sChkPtName = "fs1_ckpt1";
  return true;
}
inline bool Prepare(CelerraXMLCreateRWChkPtResp& r) {
  r.m_sPFSId = kFs1;
  r.m_sBaseLineChkPtId = kFs1Ckpt1;
  r.m_sChkPtName = "fs1_rw";
  return true;
}
inline bool Prepare(CelerraXMLCreateROChkPtResp& r) {
  r.m_sPFSId = kFs1;
  return true;
}
inline bool Prepare(CelerraXMLDeleteChkPtResp& r) {
  r.m_sChkPtId = kFs1Ckpt1;
  r.m_sBaseLineChkPtId = kFs1Ckpt1;
  return true;
}
inline bool Prepare(CelerraXMLRestorePFSFromChkPtResp& r) {
  r.m_sChkPtId = kFs1Ckpt1;
  r.m_sChkPtName = "fs1_ckpt1";
  r.m_sPFSId = kFs1;
  return true;
}
inline bool Prepare(CelerraXMLGetNFSInfoResp& r) {
  r.m_sShareName = "/fs1";
  return true;
}
inline bool Prepare(CelerraXMLCreateNFSShareResp& r) {
  r.m_sPFSOrChkPtName = "/fs1_ckpt1";
  return true;
}
inline bool Prepare(CelerraXMLDeleteNFSShareResp& r) {
  r.m_sShareName = "/fs1";
  r.m_sMoverId = "1";
  return true;
}
inline bool Prepare(RespCifsShareQueryParams& r) {
  r.m_sShareName = "fs1share";
  return true;
}
inline bool Prepare(RespCreateCifsShare& r) {
  r.m_sShareName = "fs1share";
  return true;
}
inline bool Prepare(RespDeleteCifsShare& r) {
  r.m_sShareName = "fs1share";
  r.m_sMoverId = "1";
  return true;
}

// What one parse of a reply gave.
struct Verdict {
  bool ok = false;                    // UnSerializeXML's result
  eCelerraStatus status = STATUS_OK;  // the last error's status afterwards
  CelerraError error;
  bool entryPointsDisagree = false;  // the mount response's two entry points
};

// Feeds `data` to a new T as the session does (in two chunks, then the
// parse). With `prepared`, T first gets what its operation sets; false when
// there is nothing to set (the plain parse covers it).
template <class T>
bool ParseAs(const uint8_t* data, size_t size, bool prepared, Verdict& v) {
  T response;
  if (prepared && !Prepare(response)) return false;
  // Exactly-sized copies let the address sanitizer see a read past the end
  // of a chunk.
  size_t half = size / 2;
  std::vector<char> first(data, data + half);
  std::vector<char> second(data + half, data + size);
  response.AppendXml(first.data(), static_cast<unsigned long>(first.size()));
  response.AppendXml(second.data(), static_cast<unsigned long>(second.size()));
  v.ok = response.UnSerializeXML();
  if constexpr (std::is_base_of<CelerraXMLGetFSMountPointsResp, T>::value)
    v.entryPointsDisagree = response.UnSerializeCompleteXML() != v.ok;
  v.error = response.GetLastError();
  v.status = v.error.m_eStatus;
  (void)response.GetLastTaskId();
  return true;
}

}  // namespace celfuzz
