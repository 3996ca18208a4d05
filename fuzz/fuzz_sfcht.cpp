// Fuzzes the Solar Fire chart file reader, and formats every chart it hands on as AAF text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/AafDatabase.h"
#include "formats/SolarFireReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::AafDatabase aaf;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    tervalo::ParseSolarFireCharts(bytes, [](const tervalo::AafRecord& chart) {
        static_cast<tervalo::AafRecord&>(aaf) = chart;
        char record[tervalo::kFormatRecordSize];
        aaf.FormatRecord(record);
        std::string text;
        aaf.FormatCsvLine(&text);
        aaf.FormatHorText(&text);
        return true;
    });
    return 0;
}
