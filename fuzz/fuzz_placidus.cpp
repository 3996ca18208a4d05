// Fuzzes the Placidus chart reader into both record kinds, and formats what it decoded.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "formats/AafDatabase.h"
#include "formats/PlacidusReader.h"
#include "formats/QckDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::AafDatabase aaf;
    static tervalo::QckDatabase qck;
    const std::string path = tervalo::fuzz::WriteInput(data, size, "input.hor");
    if (tervalo::ReadPlacidusChart(path, aaf)) {
        char record[tervalo::kFormatRecordSize];
        aaf.FormatRecord(record);
        std::string text;
        aaf.FormatCsvLine(&text);
        aaf.FormatNumLine(&text);
        aaf.FormatHorText(&text);
        aaf.FormatSzkText(&text);
    }
    if (tervalo::ReadPlacidusChart(path, qck)) {
        char line[tervalo::kQckFormatSize];
        qck.FormatRecord(line);
    }
    return 0;
}
