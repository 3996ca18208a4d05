// Fuzzes the AAF reader: load, then walk every record, parse it and format it again; the run's
// walk (ConvertRecords) must give the texts of the plain walk.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "formats/AafDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::AafDatabase input;
    static tervalo::AafDatabase output;
    const std::string path = tervalo::fuzz::WriteInput(data, size, "input.aaf");
    output.Reset();
    if (!input.LoadFromFile(path)) return 0;
    char record[tervalo::kFormatRecordSize];
    int walked = 0;
    do {
        input.ParseRecord();
        input.FormatRecord(record);
        tervalo::CopyCommonFields(input, output);
        output.AppendRecord();
    } while (input.NextRecord() && ++walked < 100000);
    // The collected text is walked again as the writers walk it.
    output.FirstRecord();
    do {
        output.ParseRecord();
    } while (output.NextRecord());

    std::string plain;
    input.FirstRecord();
    input.Gregorian = true;
    walked = 0;
    do {
        input.ParseRecord();
        tervalo::AafRecord chart = input;
        plain.append(record, tervalo::AafDatabase::FormatRecordText(chart, record));
    } while (input.NextRecord() && ++walked < 100000);
    if (walked >= 100000) return 0;
    std::string formed;
    input.FirstRecord();
    input.Gregorian = true;
    input.ConvertRecords(&tervalo::AafDatabase::FormatRecordText, [&](std::string_view text) {
        formed += text;
        return true;
    });
    if (formed != plain) __builtin_trap();
    return 0;
}
