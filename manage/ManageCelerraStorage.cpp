// Storage pool and iSCSI LUN inventory.
#include <memory>

#include "manage/ManageCelerraPrivate.h"
#include "messages/catalogue/StorageMessages.h"

// One inventory listing: the exchange, the caller's vector replaced with what
// the reply held (even a partial list), then the verdict of the parse.
template <class Req, class Resp, class Record>
bool ManageCelerra::RunInventory(std::vector<Record>& out, void (Resp::*read)(std::vector<Record>&) const,
                                 const char* start, const char* listFailed, const char* finalFailed) {
  static const ExchangeTexts kTexts = {"Unabled to allocate the XML request orresponse packet",
                                       "Unable to Initialize the HTTP client", "Unable to login into the control host",
                                       "Unable to serialize the XML request", "Unable to send HHTP request"};
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s [%s]", start, m_sControlHost.c_str());
  std::unique_ptr<Req> req;
  std::unique_ptr<Resp> resp;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    ((*resp).*read)(out);
    if (!resp->IsSuccess()) {
      CEL_ERROR(m_Event, "%s", listFailed);
      break;
    }
    return true;
  } while (false);
  if (resp) m_LastError = resp->GetLastError();
  RecordFailure(finalFailed);
  CEL_ERROR(m_Event, "%s", finalFailed);
  return false;
}

bool ManageCelerra::GetStgPoolInfo(std::vector<CelerraStgPoolInfo_t>& pools) {
  return RunInventory<CelerraXMLGetStgPoolsInfoReq, CelerraXMLGetStgPoolsInfoResp>(
      pools, &CelerraXMLGetStgPoolsInfoResp::GetStgPoolsInfo, "Getting info of all Storage pools in",
      "Failed to get stg pools list", "Unable to get info of All stg pools");
}

bool ManageCelerra::GetLunInfo(std::vector<CelerraLunInfo_t>& luns) {
  return RunInventory<CelerraXMLGetLunInfoReq, CelerraXMLGetLunInfoResp>(
      luns, &CelerraXMLGetLunInfoResp::GetLunsInfo, "Getting info of all Luns in", "Failed to get luns list",
      "Unable to get info of all luns");
}
