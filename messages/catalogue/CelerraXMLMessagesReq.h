// Every request class of the message catalogue.
#pragma once

#include "messages/catalogue/CheckpointMessages.h"
#include "messages/catalogue/CifsShareMessages.h"
#include "messages/catalogue/DhsmMessages.h"
#include "messages/catalogue/FileSystemMessages.h"
#include "messages/catalogue/HttpFeatureMessages.h"
#include "messages/catalogue/MountMessages.h"
#include "messages/catalogue/MoverMessages.h"
#include "messages/catalogue/NfsExportMessages.h"
#include "messages/catalogue/StorageMessages.h"
