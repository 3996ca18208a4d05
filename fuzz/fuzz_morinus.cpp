// Fuzzes the Morinus chart reader, and formats what it read into every target's text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "formats/AafDatabase.h"
#include "formats/MorinusReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::AafDatabase aaf;
    tervalo::ChartFileRead read;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (tervalo::ParseMorinusChart(bytes, aaf, read)) {
        if (!read.Recognised) __builtin_trap();
        char record[tervalo::kFormatRecordSize];
        aaf.FormatRecord(record);
        std::string text;
        aaf.FormatHorText(&text);
        aaf.FormatSzkText(&text);
        aaf.FormatCsvLine(&text);
    } else if (read.Recognised) {
        __builtin_trap();
    }
    return 0;
}
