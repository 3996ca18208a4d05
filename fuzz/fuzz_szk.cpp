// Fuzzes the SZK chart reader; a chart it read, written as SZK and read again, is the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/CodePage.h"
#include "formats/AafDatabase.h"
#include "formats/SzkReader.h"

// Windows-1250 text whose bytes happen to form UTF-8 is read as UTF-8, as a file of either kind
// must be: such a chart does not settle, and says nothing about the reader.
static bool ReadsAsUtf8(std::string text) {
    std::size_t length = text.size();
    return tervalo::ConvertUtf8ToWindows1250(text.data(), length).Converted;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::AafDatabase aaf;
    tervalo::ChartFileRead read;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!tervalo::ParseSzkChart(bytes, aaf, read)) return 0;
    char record[tervalo::kFormatRecordSize];
    aaf.FormatRecord(record);
    std::string first;
    aaf.FormatSzkText(&first);
    if (ReadsAsUtf8(first)) return 0;
    if (!tervalo::ParseSzkChart(first, aaf, read)) __builtin_trap();
    std::string second;
    aaf.FormatSzkText(&second);
    if (ReadsAsUtf8(second)) return 0;
    if (!tervalo::ParseSzkChart(second, aaf, read)) __builtin_trap();
    std::string third;
    aaf.FormatSzkText(&third);
    // Reading settles a chart; from then on a round trip changes nothing.
    if (third != second) __builtin_trap();
    return 0;
}
