// ReadPlacidusChart: single-chart binary Placidus files.
#include "app/PlacidusChart.h"

namespace tervalo {

bool ReadPlacidusChart(const std::string&, AafDatabase&) { return false; }
bool ReadPlacidusChart(const std::string&, QckDatabase&) { return false; }

}  // namespace tervalo
