// The country list: names of countries, US states and territories with their short codes.
#pragma once

#include <array>
#include <string_view>
#include <vector>

namespace tervalo {

constexpr std::size_t kCountryCodeRows = 281;
// Rows of name, "=" and code, in their fixed order.
extern const std::array<std::string_view, kCountryCodeRows> kCountryCodeTable;

std::vector<std::string_view> CountryCodeRows();

}  // namespace tervalo
