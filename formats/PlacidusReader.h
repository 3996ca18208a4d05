// ReadPlacidusChart: single-chart binary Placidus files (a fixed 200-byte header).
#pragma once

#include <string>

namespace tervalo {

class AafDatabase;
class QckDatabase;

// True when the file is a Placidus chart file and its chart now stands in the object's record
// (after its ClearRecord); false, with the record untouched, otherwise.
bool ReadPlacidusChart(const std::string& path, AafDatabase& receiver);
bool ReadPlacidusChart(const std::string& path, QckDatabase& receiver);

}  // namespace tervalo
