// Helpers for the tests: byte-exact comparison, fresh temporary folders, files and samples.
#include "TestSupport.h"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include <unistd.h>

namespace tervalo::test {

std::string Printable(std::string_view bytes) {
    std::string shown;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\\') {
            shown += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

::testing::AssertionResult BytesEqual(std::string_view actual, std::string_view expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    const std::size_t from = at > 24 ? at - 24 : 0;
    std::ostringstream message;
    message << "bytes differ at offset " << at << " (actual " << actual.size()
            << " bytes, expected " << expected.size() << ")\n"
            << "  actual:   ..." << Printable(actual.substr(from, 64)) << "\n"
            << "  expected: ..." << Printable(expected.substr(from, 64)) << "\n";
    if (at < actual.size() && at < expected.size()) {
        message << "  byte " << at << ": actual 0x" << std::hex
                << int(static_cast<unsigned char>(actual[at])) << ", expected 0x"
                << int(static_cast<unsigned char>(expected[at]));
    }
    return ::testing::AssertionFailure() << message.str();
}

TempDir::TempDir() {
    static std::atomic<unsigned> sequence{0};
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        Root = base / ("tervalo-test-" + std::to_string(::getpid()) + "-" +
                       std::to_string(sequence++) + "-" + std::to_string(random() % 100000));
        if (std::filesystem::create_directory(Root)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(Root, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(Root, ignored);
}

std::string TempDir::File(std::string_view name) const {
    return (Root / name).string();
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "could not write " << path;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "could not read " << path;
        return {};
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path SamplesDir() {
    std::filesystem::path dir = TERVALO_SAMPLES_DIR;
    std::error_code error;
    if (!std::filesystem::is_directory(dir, error)) return {};
    return std::filesystem::weakly_canonical(dir, error);
}

}  // namespace tervalo::test
