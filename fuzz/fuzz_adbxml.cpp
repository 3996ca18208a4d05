// Fuzzes the Astro-Databank XML reader, checks what it hands over, and formats each chart as AAF.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "formats/AafDatabase.h"
#include "formats/AdbXmlReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char text[tervalo::kFormatRecordSize];
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t charts = 0;
    const tervalo::ChartFileRead read =
        tervalo::ParseAdbXml(input, [&](const tervalo::AafRecord& chart) {
            if (tervalo::FieldText(chart.Notes).size() > tervalo::kMaxNotesLength) __builtin_trap();
            if (chart.Month < 1 || chart.Month > 12 || chart.Day < 1 || chart.Day > 31)
                __builtin_trap();
            tervalo::AafRecord copy = chart;
            tervalo::AafDatabase::FormatRecordText(copy, text);
            return ++charts < 1000;
        });
    // Nothing is read, or broken off, in a file that is not an export.
    if (!read.Recognised && (charts > 0 || read.BrokenOffAt != 0)) __builtin_trap();
    return 0;
}
