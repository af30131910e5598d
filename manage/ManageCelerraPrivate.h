// What the facade's operations share beyond its installed header: the
// message catalogue, the platform logger, the facade's logging context and
// the message-making template. Included by the facade's sources only; never
// installed.
#pragma once

#include <memory>
#include <new>

#include "manage/ManageCelerra.h"
#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"

// The facade's logging context is the platform's EvEvent; the header names
// it only as a nested type so that EvEvent stays out of callers' code.
struct ManageCelerra::LogContext : EvEvent {};

template <class Req, class Resp>
bool ManageCelerra::MakeMessages(std::unique_ptr<Req>& request, std::unique_ptr<Resp>& response,
                                 const ExchangeTexts& texts) {
  request.reset(new (std::nothrow) Req(m_JobId));
  response.reset(new (std::nothrow) Resp(m_JobId));
  if (request && response) return true;
  if (texts.allocFailed) CEL_ERROR(m_Event, "%s", texts.allocFailed);
  request.reset();
  response.reset();
  return false;
}
