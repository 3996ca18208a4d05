// Fuzzes a whole conversion: one fuzzed input file converted to every target, per file.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "formats/AafDatabase.h"
#include "formats/CountryCodeTable.h"
#include "formats/QckDatabase.h"
#include "run/ConversionRun.h"

namespace {

class QuietFront final : public tervalo::ProgressSink, public tervalo::RunEffects {
public:
    void ShowCount(std::int32_t) override {}
    void ProcessEvents() override {}
    void SetControlEnabled(tervalo::RunControl, bool) override {}
    void SelectEntry(int) override {}
    void ShowMessage(tervalo::MessageKind, const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static tervalo::AafDatabase outputAaf;
    static tervalo::QckDatabase outputQck;
    static tervalo::AafDatabase inputAaf;
    static tervalo::QckDatabase inputQck;
    static const bool countriesAdded = [] {
        outputAaf.AddCountries(tervalo::CountryCodeRows());
        return true;
    }();
    (void)countriesAdded;
    if (size == 0) return 0;
    // The first byte picks the kind of input; the rest is the file.
    static constexpr const char* kNames[] = {"input.aaf", "input.qck", "input.hor"};
    const char* name = kNames[data[0] % 3];
    const std::filesystem::path folder = tervalo::fuzz::ScratchFolder() / "run";
    std::filesystem::create_directories(folder / "out");
    const std::string path = (folder / name).string();
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) __builtin_trap();
        std::fwrite(data + 1, 1, size - 1, file);
        std::fclose(file);
    }
    tervalo::RunDatabases databases{outputAaf, outputQck, inputAaf, inputQck};
    QuietFront front;
    std::atomic<bool> abort{false};
    for (int target = 0; target < tervalo::kTargetCount; ++target) {
        tervalo::RunRequest request;
        request.Entries = {path};
        request.TargetIndex = target;
        request.ModeIndex = target % 2;  // per file and combined in turn
        request.ExecutablePath = (folder / "out" / "tervalo").string();
        tervalo::ConversionRun(request, abort, front, front, databases, [] { return 45000.5; });
        std::error_code ignored;
        for (const auto& item : std::filesystem::directory_iterator(folder / "out", ignored)) {
            std::filesystem::remove_all(item.path(), ignored);
        }
    }
    return 0;
}
