// tervalo-read-adbxml: reads an Astro-Databank export and writes its charts as AAF text, the way
// a conversion would, for timing the reader against `cp` of the same file.
//
//   tervalo-read-adbxml EXPORT.xml OUT.aaf
#include <cstdio>
#include <string>

#include "formats/AafDatabase.h"
#include "formats/AdbXmlReader.h"

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fputs("usage: tervalo-read-adbxml EXPORT.xml OUT.aaf\n", stderr);
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (out == nullptr) return 1;
    static char text[tervalo::kFormatRecordSize];
    std::size_t charts = 0;
    const tervalo::ChartFileRead read =
        tervalo::ReadAdbXmlCharts(argv[1], [&](const tervalo::AafRecord& chart) {
            tervalo::AafRecord copy = chart;
            std::fwrite(text, 1, tervalo::AafDatabase::FormatRecordText(copy, text), out);
            ++charts;
            return true;
        });
    std::fclose(out);
    std::fprintf(stderr,
                 "%zu charts, %zu skipped, %zu untimed, broken off at %u, %zu unconvertible\n",
                 charts, read.SkippedLines.size(), read.UntimedLines.size(), read.BrokenOffAt,
                 read.Unconvertible);
    return read.Recognised ? 0 : 1;
}
