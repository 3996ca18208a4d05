// ConversionRun: the two passes over the file list, the count step and the output table.
#include "app/ConversionRun.h"

namespace tervalo {

double LocalDateTimeNow() { return 0.0; }
std::int32_t StampNumber(double) { return 0; }
std::string OutputPrefixOf(const std::string&) { return {}; }
std::string ClosingMessage(const RunReport&) { return {}; }
RunReport ConversionRun(const RunRequest&, std::atomic<bool>&, ProgressSink&, RunEffects&,
                        RunDatabases&, const RunClock&) {
    return {};
}

}  // namespace tervalo
