#include "messages/catalogue/StorageMessages.h"

#include "messages/internal/OnFailure.h"
#include "messages/internal/RequestWriter.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

// Both documents are written whole here, not through the standard envelope:
// the pool query goes without apiVersion in a Request, the LUN query with it
// in a RequestEx.
std::string InventoryQuery(const char* packetAttributes, const char* outer, const char* body) {
  return RequestWriter(packetAttributes)
      .Open("  ", outer)
      .Open("    ", "Query")
      .Empty("\t\t", body)
      .Close("    ", "Query")
      .Close("  ", outer)
      .Finish(PacketEnd::kBlankLine);
}

}  // namespace

CelerraXMLGetStgPoolsInfoReq::CelerraXMLGetStgPoolsInfoReq() : CelerraXMLGetStgPoolsInfoReq(0) {}

CelerraXMLGetStgPoolsInfoReq::CelerraXMLGetStgPoolsInfoReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}

bool CelerraXMLGetStgPoolsInfoReq::SerializeXML() {
  m_sSerializedXML = InventoryQuery("", "Request", "StoragePoolQueryParams");
  return true;
}

CelerraXMLGetLunInfoReq::CelerraXMLGetLunInfoReq() : CelerraXMLGetLunInfoReq(0) {}

CelerraXMLGetLunInfoReq::CelerraXMLGetLunInfoReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}

bool CelerraXMLGetLunInfoReq::SerializeXML() {
  m_sSerializedXML = InventoryQuery(" apiVersion=\"V1_1\"", "RequestEx", "IscsiLunQueryParams");
  return true;
}

CelerraXMLGetStgPoolsInfoResp::CelerraXMLGetStgPoolsInfoResp() : CelerraXMLGetStgPoolsInfoResp(0) {}

CelerraXMLGetStgPoolsInfoResp::CelerraXMLGetStgPoolsInfoResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false), m_bSuccess(false) {
  m_eResponseType = 0;
  init();
}

bool CelerraXMLGetStgPoolsInfoResp::UnSerializeXML() {
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to get info for all stg pools"); });
  try {
    ReplyDocument doc;
    if (!UnSerializeEnvelope(doc)) {
      CEL_ERROR(m_Event, "Unable to Get stg pools info");
      return false;
    }
    if (!doc.document()) {
      CEL_ERROR(m_Event, "Failed to get DOM Document from XML");
      SetUnreadable("Unreadable reply: no document");
      return false;
    }
    std::vector<const XmlElement*> pools = Elements(doc.document(), "StoragePool");
    CEL_DEBUG(m_Event, 2, "Found %lu stg pools", static_cast<unsigned long>(pools.size()));
    NumberReader numbers;
    for (const XmlElement* e : pools) {
      CelerraStgPoolInfo_t pool;
      pool.pool = numbers.Int32("pool", AttrText(e, "pool"));
      pool.size = numbers.Int64("size", AttrText(e, "size"));
      pool.usedSize = numbers.Int64("usedSize", AttrText(e, "usedSize"));
      pool.name = Attr(e, "name");
      pool.movers = SplitList(Attr(e, "movers"), ' ');
      m_vStgPools.push_back(std::move(pool));
    }
    if (!NumbersFit(numbers)) {
      m_vStgPools.clear();
      return false;
    }
  } catch (...) {
    if (m_LastError.m_eStatus == STATUS_OK) SetUnreadable("Unreadable reply: the storage pools could not be read");
    return false;
  }
  m_bSuccess = true;
  return closing.Succeeded();
}

CelerraXMLGetLunInfoResp::CelerraXMLGetLunInfoResp() : CelerraXMLGetLunInfoResp(0) {}

CelerraXMLGetLunInfoResp::CelerraXMLGetLunInfoResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false), m_bSuccess(false) {
  m_eResponseType = 0;
  init();
}

bool CelerraXMLGetLunInfoResp::UnSerializeXML() {
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to get info for Luns"); });
  try {
    // The LUN query goes out in a RequestEx, so its reply is a ResponseEx;
    // the envelope parse takes either.
    ReplyDocument doc;
    if (!UnSerializeEnvelope(doc)) {
      CEL_ERROR(m_Event, "Unable to get Luns info");
      return false;
    }
    if (!doc.document()) {
      CEL_ERROR(m_Event, "Failed to get DOM Document from XML");
      SetUnreadable("Unreadable reply: no document");
      return false;
    }
    std::vector<const XmlElement*> luns = Elements(doc.document(), "IscsiLun");
    CEL_DEBUG(m_Event, 2, "Found %lu Luns", static_cast<unsigned long>(luns.size()));
    NumberReader numbers;
    for (const XmlElement* e : luns) {
      CelerraLunInfo_t lun;
      lun.name = Attr(e, "name");
      lun.lun = numbers.Int32("lun", AttrText(e, "lun"));
      lun.size = numbers.Int64("size", AttrText(e, "size"));
      lun.fileSystem = Attr(e, "fileSystem");
      m_vLuns.push_back(std::move(lun));
    }
    if (!NumbersFit(numbers)) {
      m_vLuns.clear();
      return false;
    }
  } catch (...) {
    if (m_LastError.m_eStatus == STATUS_OK) SetUnreadable("Unreadable reply: the LUNs could not be read");
    return false;
  }
  m_bSuccess = true;
  return closing.Succeeded();
}
