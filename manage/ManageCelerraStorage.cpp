// Storage pool and iSCSI LUN inventory.
#include <memory>

#include "manage/ManageCelerraPrivate.h"
#include "messages/catalogue/StorageMessages.h"

using celerra_internal::Exchange;
using celerra_internal::ExchangeTexts;
using celerra_internal::OnFailure;

namespace {

const ExchangeTexts kTexts = {"Unabled to allocate the XML request orresponse packet",
                              "Unable to Initialize the HTTP client", "Unable to login into the control host",
                              "Unable to serialize the XML request", "Unable to send HHTP request"};

}  // namespace

bool ManageCelerra::GetStgPoolInfo(std::vector<CelerraStgPoolInfo_t>& pools) {
  celerra_internal::OperationLog log(*this, "GetStgPoolInfo");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "Getting info of all Storage pools in [%s]", m_sControlHost.c_str());
  Exchange<CelerraXMLGetStgPoolsInfoReq, CelerraXMLGetStgPoolsInfoResp> exchange(*this, kTexts);
  OnFailure closing(exchange.ClosingWithReply("Unable to get info of All stg pools",
                                              [&] { CEL_ERROR(m_Event, "Unable to get info of All stg pools"); }));
  if (!exchange.Made() || !exchange.Send()) return false;
  // The caller's vector holds what the reply held (even a partial list),
  // then the parse's verdict decides.
  exchange.response().GetStgPoolsInfo(pools);
  if (!exchange.response().IsSuccess()) {
    CEL_ERROR(m_Event, "Failed to get stg pools list");
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::GetLunInfo(std::vector<CelerraLunInfo_t>& luns) {
  celerra_internal::OperationLog log(*this, "GetLunInfo");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "Getting info of all Luns in [%s]", m_sControlHost.c_str());
  Exchange<CelerraXMLGetLunInfoReq, CelerraXMLGetLunInfoResp> exchange(*this, kTexts);
  OnFailure closing(exchange.ClosingWithReply("Unable to get info of all luns",
                                              [&] { CEL_ERROR(m_Event, "Unable to get info of all luns"); }));
  if (!exchange.Made() || !exchange.Send()) return false;
  exchange.response().GetLunsInfo(luns);
  if (!exchange.response().IsSuccess()) {
    CEL_ERROR(m_Event, "Failed to get luns list");
    return false;
  }
  return closing.Succeeded();
}
