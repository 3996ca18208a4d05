// Fuzzes the QCK reader: load, then walk every line, parse it and format it again; the run's
// walk (ConvertRecords) must give the texts of the plain walk.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "formats/QckDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::QckDatabase input;
    static tervalo::QckDatabase output;
    const std::string path = tervalo::fuzz::WriteInput(data, size, "input.qck");
    output.Reset();
    if (!input.LoadFromFile(path)) return 0;
    char line[tervalo::kQckFormatSize];
    int walked = 0;
    do {
        input.ParseRecord();
        input.FormatRecord(line);
        tervalo::CopyCommonFields(input, output);
        output.AppendRecord();
    } while (input.NextRecord() && ++walked < 100000);
    if (walked >= 100000) return 0;

    std::string plain;
    if (!input.LoadFromFile(path)) __builtin_trap();
    do {
        input.ParseRecord();
        tervalo::ChartRecord chart = input;
        plain.append(line, tervalo::QckDatabase::FormatLine(chart, line));
    } while (input.NextRecord());
    std::string formed;
    if (!input.LoadFromFile(path)) __builtin_trap();
    input.ConvertRecords([](tervalo::AafRecord& chart,
                            char* out) { return tervalo::QckDatabase::FormatLine(chart, out); },
                         [&](std::string_view text) {
                             formed += text;
                             return true;
                         });
    if (formed != plain) __builtin_trap();
    return 0;
}
