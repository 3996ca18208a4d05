// Writing one line per record in large blocks, for the CSV and NUM outputs.
#include <cstdio>
#include <string>

#include "aaf/AafDatabase.h"

namespace tervalo {

namespace {

// Lines are gathered into blocks of this size and each block is written with one call, so that
// writing costs less than forming the lines.
constexpr std::size_t kBlockSize = 256 * 1024;
// Room for the longest line of either output (four texts quoted with every byte doubled, or
// two names and full notes) beyond a full block.
constexpr std::size_t kLongestLine = 4 * (2 * kMaxTextLength + 2) + kNotesFieldSize + 256;

bool WriteBlock(std::FILE* file, std::string& block) {
    const bool written = std::fwrite(block.data(), 1, block.size(), file) == block.size();
    block.clear();
    return written;
}

}  // namespace

bool AafDatabase::SaveRecordLines(const std::string& path, LineFormatter appendLine) {
    if (!HasCurrentRecord() || path.empty()) return false;
    FirstRecord();
    if (!HasCurrentRecord()) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    // The blocks are large already; a stdio buffer would only copy them once more.
    std::setvbuf(file, nullptr, _IONBF, 0);

    std::string block;
    block.reserve(kBlockSize + kLongestLine);
    bool written = true;
    do {
        ParseRecord();
        appendLine(*this, block);
        if (block.size() >= kBlockSize) written = WriteBlock(file, block);
    } while (written && NextRecord());
    if (written) written = WriteBlock(file, block);
    // Whatever was written before a failure stays in the file.
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

}  // namespace tervalo
