// The country list.
#include "aaf/CountryCodeTable.h"

namespace tervalo {

const std::array<std::string_view, kCountryCodeRows> kCountryCodeTable = {};

std::vector<std::string_view> CountryCodeRows() {
    return {kCountryCodeTable.begin(), kCountryCodeTable.end()};
}

}  // namespace tervalo
