// Fuzzes the SZK chart reader; a chart it read, written as SZK and read again, is the same text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/AafDatabase.h"
#include "formats/SzkReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::AafDatabase aaf;
    tervalo::ChartFileRead read;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!tervalo::ParseSzkChart(bytes, aaf, read)) return 0;
    char record[tervalo::kFormatRecordSize];
    aaf.FormatRecord(record);
    std::string first;
    aaf.FormatSzkText(&first);
    if (!tervalo::ParseSzkChart(first, aaf, read)) __builtin_trap();
    std::string second;
    aaf.FormatSzkText(&second);
    if (!tervalo::ParseSzkChart(second, aaf, read)) __builtin_trap();
    std::string third;
    aaf.FormatSzkText(&third);
    // Reading settles a chart; from then on a round trip changes nothing.
    if (third != second) __builtin_trap();
    return 0;
}
