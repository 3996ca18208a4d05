// Database texts written in UTF-8, converted to Windows-1250 as they are loaded.
#include "aaf/Utf8Text.h"

namespace tervalo {

Utf8Conversion ConvertUtf8ToWindows1250(char*, std::size_t&) { return {}; }

}  // namespace tervalo
