// Placeholder: this message group is not built yet.
#pragma once

#include "messages/CelerraXMLMessage.h"

struct CelerraNFSInfo_t;
