// Fuzzes the QCK reader: load, then walk every line, parse it and format it again.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "qck/QckDatabase.h"

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
    return 0;
}
