// Database texts written in UTF-8, converted to Windows-1250 as they are loaded.
#include "aaf/Utf8Text.h"
