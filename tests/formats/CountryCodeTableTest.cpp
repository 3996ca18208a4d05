// The country list and the lookup of a name's code.
#include "formats/CountryCodeTable.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "formats/AafDatabase.h"

namespace tervalo {
namespace {

TEST(CountryCodeTable, HoldsEveryRowOnceInAlphabeticalOrderOfNames) {
    ASSERT_EQ(kCountryCodeTable.size(), 281u);
    EXPECT_EQ(kCountryCodeTable.front(), "Afghanistan=AFG");
    EXPECT_EQ(kCountryCodeTable.back(), "Zimbabwe=ZW");
    for (std::size_t i = 0; i < kCountryCodeTable.size(); ++i) {
        const std::string_view row = kCountryCodeTable[i];
        const std::size_t equals = row.find('=');
        ASSERT_NE(equals, std::string_view::npos) << row;
        const std::string_view code = row.substr(equals + 1);
        EXPECT_TRUE(code.size() >= 1 && code.size() <= 4) << row;
        EXPECT_TRUE(std::all_of(code.begin(), code.end(), [](char c) {
            return c >= 'A' && c <= 'Z';
        })) << row;
        if (i == 0) continue;
        // The one exception to the order: "Netherlands Antilles" before "Netherlands".
        if (row == "Netherlands=NL") {
            EXPECT_EQ(kCountryCodeTable[i - 1], "Netherlands Antilles=NA");
            continue;
        }
        const std::string_view before = kCountryCodeTable[i - 1];
        std::string a(before.substr(0, before.find('=')));
        std::string b(row.substr(0, equals));
        for (std::string* name : {&a, &b})
            std::transform(name->begin(), name->end(), name->begin(),
                           [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
        EXPECT_LT(a, b) << before << " / " << row;
    }
}

TEST(CountryCodeTable, LooksUpNamesWithoutRegardToCase) {
    AafDatabase db;
    db.AddCountries(CountryCodeRows());
    ASSERT_EQ(db.Countries.size(), 281u);
    EXPECT_EQ(db.Countries[167], kCountryCodeTable[167]);
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Hungary", "H"},
        {"HUNGARY", "H"},
        {"hungary", "H"},
        {"Hungary ", ""},
        {"H", ""},  // codes are not names
        {"Georgia", "GRG"},
        {"Georgia-USA", "USGA"},
        {"England", "GB"},
        {"United Kingdom", "GB"},
        {"Saint putty and Nevis", "SKN"},
        {"netherlands", "NL"},
        {"", ""},
    };
    for (const auto& [name, code] : cases)
        EXPECT_EQ(db.LookupCountryCode(name), code) << name;

    AafDatabase custom;
    EXPECT_EQ(custom.LookupCountryCode("Hungary"), "");
    custom.AddCountries({"no equals sign", "Twice=A", "twice=B", "Empty=", "=X"});
    EXPECT_EQ(custom.LookupCountryCode("no equals sign"), "");
    EXPECT_EQ(custom.LookupCountryCode("TWICE"), "A");
    EXPECT_EQ(custom.LookupCountryCode("Empty"), "");
    EXPECT_EQ(custom.LookupCountryCode(""), "X");
}

}  // namespace
}  // namespace tervalo
