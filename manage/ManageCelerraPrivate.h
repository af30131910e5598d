// What the facade's operations share beyond its installed header: the
// message catalogue, the platform logger, the facade's logging context and
// the request cycle. Included by the facade's sources only; never
// installed.
#pragma once

#include <memory>
#include <new>

#include "manage/ManageCelerra.h"
#include "manage/internal/Exchange.h"
#include "messages/CelerraXMLMessage.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"

// The facade's logging context is the platform's EvEvent; the header names
// it only as a nested type so that EvEvent stays out of callers' code.
struct ManageCelerra::LogContext : EvEvent {};
