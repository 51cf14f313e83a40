#include "platform/storage/zip/Archive.h"
