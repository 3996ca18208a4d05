// Fuzzes the AAF reader: load, then walk every record, parse it and format it again.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "aaf/AafDatabase.h"

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
    return 0;
}
