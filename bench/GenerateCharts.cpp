// tervalo-generate: writes large, realistic chart databases for the benchmarks.
//
//   tervalo-generate aaf|aaf-utf8|qck|adbxml CHARTS FILE
//
// The same seed gives the same file; about a fifth of the AAF charts carry notes. An
// Astro-Databank export's entries carry biographies and research data as the real one does:
// 78,000 entries make some 230 MB.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

namespace {

// Each text in Windows-1250 and in UTF-8, so both encodings hold the very same charts.
struct Text {
    std::string_view Windows1250;
    std::string_view Utf8;
};

constexpr Text kLastNames[] = {
    {"Kov\xE1"
     "cs",
     "Kov\xC3\xA1"
     "cs"},
    {"Nagy", "Nagy"},
    {"T\xF3th", "T\xC3\xB3th"},
    {"Szab\xF3", "Szab\xC3\xB3"},
    {"Horv\xE1th", "Horv\xC3\xA1th"},
    {"Kiss", "Kiss"},
    {"Moln\xE1r", "Moln\xC3\xA1r"},
    {"N\xE9meth", "N\xC3\xA9meth"},
    {"Farkas", "Farkas"},
    {"Bal\xE1zs", "Bal\xC3\xA1zs"},
    {"Sch\xF6n", "Sch\xC3\xB6n"},
    {"M\xFCller", "M\xC3\xBCller"},
    {"Gro\xDF", "Gro\xC3\x9F"},
    {"W\xF3jcik", "W\xC3\xB3jcik"},
    {"Smith", "Smith"},
    {"Dvo\xF8\xE1k", "Dvo\xC5\x99\xC3\xA1k"},
};
constexpr Text kFirstNames[] = {
    {"J\xE1nos", "J\xC3\xA1nos"},
    {"Anna", "Anna"},
    {"B\xE9la", "B\xC3\xA9la"},
    {"\xC9va", "\xC3\x89va"},
    {"Istv\xE1n", "Istv\xC3\xA1n"},
    {"Zsuzsanna", "Zsuzsanna"},
    {"L\xE1szl\xF3", "L\xC3\xA1szl\xC3\xB3"},
    {"Katalin", "Katalin"},
    {"\xD6"
     "d\xF6n",
     "\xC3\x96"
     "d\xC3\xB6n"},
    {"Erzs\xE9"
     "bet",
     "Erzs\xC3\xA9"
     "bet"},
    {"Ferenc", "Ferenc"},
    {"Ildik\xF3", "Ildik\xC3\xB3"},
};
struct Place {
    Text Name;
    std::string_view Country;
    int Latitude;   // minutes of arc, north positive
    int Longitude;  // minutes of arc, east positive
    int Zone;       // minutes, west positive
};
constexpr Place kPlaces[] = {
    {{"Budapest", "Budapest"}, "H", 47 * 60 + 30, 19 * 60 + 5, -60},
    {{"Szeged", "Szeged"}, "Hungary", 46 * 60 + 15, 20 * 60 + 9, -60},
    {{"P\xE9"
      "cs",
      "P\xC3\xA9"
      "cs"},
     "H",
     46 * 60 + 5,
     18 * 60 + 14,
     -60},
    {{"Wien", "Wien"}, "Austria", 48 * 60 + 12, 16 * 60 + 22, -60},
    {{"New York", "New York"}, "USNY", 40 * 60 + 42, -(74 * 60), 300},
    {{"Bras\xEDlia", "Bras\xC3\xADlia"}, "BR", -(15 * 60 + 47), -(47 * 60 + 52), 180},
    {{"Mumbai", "Mumbai"}, "IND", 19 * 60 + 4, 72 * 60 + 53, -330},
    {{"Sydney", "Sydney"}, "AUS", -(33 * 60 + 52), 151 * 60 + 12, -600},
};
constexpr Text kNotes[] = {
    {"#Forr\xE1s: sz\xFClet\xE9si anyak\xF6nyv",
     "#Forr\xC3\xA1s: sz\xC3\xBCle\x74\xC3\xA9si anyak\xC3\xB6nyv"},
    {"#Rodden rating AA, kor\xE1n reggel", "#Rodden rating AA, kor\xC3\xA1n reggel"},
    {"#Ikertestv\xE9r, a m\xE1sodik sz\xFClet\xE9s",
     "#Ikertestv\xC3\xA9r, a m\xC3\xA1sodik sz\xC3\xBClet\xC3\xA9s"},
};

// Sentences of the biographies, UTF-8.
constexpr std::string_view kBiographySentences[] = {
    "Hungarian composer and pianist, one of the founders of ethnomusicology. ",
    "He collected some ten thousand folk songs on his travels through the villages of "
    "Transylvania, the Banat and Slovakia, writing them down and recording them on wax "
    "cylinders. ",
    "Sz\xC3\xBClet\xC3\xA9si anyak\xC3\xB6nyv szerint a sz\xC3\xBClet\xC3\xA9s hajnalban "
    "t\xC3\xB6rt\xC3\xA9nt, a csal\xC3\xA1"
    "d h\xC3\xA1z\xC3\xA1"
    "ban. ",
    "After the war she taught at the academy for thirty years &amp; wrote three books on the "
    "method, which are still read. ",
    "Married in 1923, two children; the marriage ended in divorce eleven years later. ",
    "Emigrated to New York in 1940, where he died of leukaemia five years afterwards. ",
    "Die Familie zog 1912 nach M\xC3\xBCnchen, wo er das Gymnasium besuchte und sp\xC3\xA4ter "
    "Rechtswissenschaft studierte. ",
};
constexpr std::string_view kCategories[] = {
    "Vocation : Entertain : Music : Composer", "Vocation : Education : Teacher",
    "Personal : Death : Illness/ Disease",     "Family : Relationship : Divorce",
    "Personal : Travel : Emigrated",           "Notable : Awards : Vocational",
};

enum class Format { Aaf, AafUtf8, Qck, AdbXml };

std::string_view Pick(const Text& text, Format format) {
    return format == Format::AafUtf8 ? text.Utf8 : text.Windows1250;
}

void AppendTwoDigits(std::string& out, int value) {
    out += static_cast<char>('0' + value / 10 % 10);
    out += static_cast<char>('0' + value % 10);
}

void AppendAngle(std::string& out, int minutes, char positive, char negative) {
    const int magnitude = minutes < 0 ? -minutes : minutes;
    if (magnitude / 60 > 99) out += static_cast<char>('0' + magnitude / 6000);
    AppendTwoDigits(out, magnitude / 60);
    out += minutes < 0 ? negative : positive;
    AppendTwoDigits(out, magnitude % 60);
}

void AppendAafChart(std::string& out, std::mt19937& random, Format format) {
    const Text& last = kLastNames[random() % std::size(kLastNames)];
    const Text& first = kFirstNames[random() % std::size(kFirstNames)];
    const Place& place = kPlaces[random() % std::size(kPlaces)];
    const int year = 1850 + static_cast<int>(random() % 170);
    out += "#A93:";
    out += Pick(last, format);
    out += ',';
    out += Pick(first, format);
    out += random() % 2 ? ",M," : ",F,";
    AppendTwoDigits(out, 1 + static_cast<int>(random() % 28));
    out += '.';
    AppendTwoDigits(out, 1 + static_cast<int>(random() % 12));
    out += '.';
    out += std::to_string(year);
    out += "g,";
    AppendTwoDigits(out, static_cast<int>(random() % 24));
    out += ':';
    AppendTwoDigits(out, static_cast<int>(random() % 60));
    if (random() % 4 == 0) {
        out += ':';
        AppendTwoDigits(out, 1 + static_cast<int>(random() % 59));
    }
    out += ',';
    out += Pick(place.Name, format);
    out += ',';
    out += place.Country;
    out += "\r\n#B93:*,";
    AppendAngle(out, place.Latitude, 'N', 'S');
    out += ',';
    AppendAngle(out, place.Longitude, 'E', 'W');
    out += ',';
    const int zone = place.Zone < 0 ? -place.Zone : place.Zone;
    out += std::to_string(zone / 60);
    out += place.Zone < 0 ? "he" : "hw";
    AppendTwoDigits(out, zone % 60);
    out += random() % 3 == 0 ? ",1\r\n" : ",0\r\n";
    if (random() % 5 == 0) {
        out += Pick(kNotes[random() % std::size(kNotes)], format);
        out += "\r\n";
    }
    out += "\r\n";
}

void AppendQckChart(std::string& out, std::mt19937& random) {
    static constexpr const char* kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
    const Text& last = kLastNames[random() % std::size(kLastNames)];
    const Text& first = kFirstNames[random() % std::size(kFirstNames)];
    const Place& place = kPlaces[random() % std::size(kPlaces)];
    std::string line;
    line += last.Windows1250;
    line += ',';
    line += first.Windows1250;
    line.resize(23, ' ');
    line += kMonths[random() % 12];
    line += ' ';
    AppendTwoDigits(line, 1 + static_cast<int>(random() % 28));
    line += ", ";
    line += std::to_string(1850 + random() % 170);
    AppendTwoDigits(line, static_cast<int>(random() % 12));
    line += ':';
    AppendTwoDigits(line, static_cast<int>(random() % 60));
    line += ':';
    AppendTwoDigits(line, static_cast<int>(random() % 60));
    line += random() % 2 ? " PM    " : " AM    ";
    line += place.Zone > 0 ? '+' : '-';
    const int zone = place.Zone < 0 ? -place.Zone : place.Zone;
    AppendTwoDigits(line, zone / 60);
    line += ':';
    AppendTwoDigits(line, zone % 60);
    const int longitude = place.Longitude < 0 ? -place.Longitude : place.Longitude;
    line += static_cast<char>('0' + longitude / 6000);
    AppendTwoDigits(line, longitude / 60);
    line += place.Longitude < 0 ? 'W' : 'E';
    AppendTwoDigits(line, longitude % 60);
    line += "'00 ";
    const int latitude = place.Latitude < 0 ? -place.Latitude : place.Latitude;
    AppendTwoDigits(line, latitude / 60);
    line += place.Latitude < 0 ? 'S' : 'N';
    AppendTwoDigits(line, latitude % 60);
    line += "'00 ";
    line += place.Name.Windows1250;
    line += ',';
    line += place.Country;
    line.resize(101, ' ');
    out += line;
    out += "\r\n";
}

// The Julian day number of a Gregorian date (the day that starts at its noon).
long JulianDayNumber(int year, int month, int day) {
    const int a = (14 - month) / 12;
    const long y = year + 4800 - a;
    const long m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

void AppendAdbEntry(std::string& out, std::mt19937& random, long id) {
    const Text& last = kLastNames[random() % std::size(kLastNames)];
    const Text& first = kFirstNames[random() % std::size(kFirstNames)];
    const Place& place = kPlaces[random() % std::size(kPlaces)];
    const int year = 1850 + static_cast<int>(random() % 170);
    const int month = 1 + static_cast<int>(random() % 12);
    const int day = 1 + static_cast<int>(random() % 28);
    const int minutes = static_cast<int>(random() % (24 * 60));
    const bool daylight = random() % 4 == 0;
    const int zone = place.Zone - (daylight ? 60 : 0);  // in force, minutes west
    const std::string idText = std::to_string(id);
    out += "  <adb_entry adb_id=\"" + idText + "\">\n    <public_data>\n      <name>";
    out += last.Utf8;
    out += ", ";
    out += first.Utf8;
    out += "</name>\n      <sflname>";
    out += first.Utf8;
    out += ' ';
    out += last.Utf8;
    out += random() % 2 ? "</sflname>\n      <gender csex=\"m\">M</gender>\n"
                        : "</sflname>\n      <gender csex=\"f\">F</gender>\n";
    out += "      <roddenrating rrc=\"1\">AA</roddenrating>\n      <bdata>\n";
    const std::string date =
        std::to_string(year) + "/" + std::to_string(month) + "/" + std::to_string(day);
    out += "        <sbdate ccalendar=\"g\" iyear=\"" + std::to_string(year) + "\" imonth=\"" +
           std::to_string(month) + "\" iday=\"" + std::to_string(day) + "\">" + date +
           "</sbdate>\n";
    std::string clock;
    AppendTwoDigits(clock, minutes / 60);
    clock += ':';
    AppendTwoDigits(clock, minutes % 60);
    const int standard = place.Zone < 0 ? -place.Zone : place.Zone;
    std::string meridian = "h" + std::to_string(standard / 60) + (place.Zone < 0 ? "e" : "w");
    if (standard % 60 != 0) AppendTwoDigits(meridian, standard % 60);
    char julianDay[32];
    const double universal = (minutes + zone) / 1440.0;
    std::snprintf(julianDay, sizeof julianDay, "%.6f",
                  static_cast<double>(JulianDayNumber(year, month, day)) - 0.5 + universal);
    std::string dial;
    AppendTwoDigits(dial, (minutes / 60 + 11) % 12 + 1);
    dial += clock.substr(2);
    out += "        <sbtime sbtime_ampm=\"" + dial + (minutes < 720 ? " AM" : " PM") +
           "\" ctimetype=\"" + (daylight ? "d" : "s") + "\" stmerid=\"" + meridian + "\" jd_ut=\"" +
           julianDay + "\">" + clock + "</sbtime>\n";
    out += "        <place slati=\"";
    AppendAngle(out, place.Latitude, 'n', 's');
    out += "\" slong=\"";
    AppendAngle(out, place.Longitude, 'e', 'w');
    out += "\">";
    out += place.Name.Utf8;
    out += "</place>\n        <country sctr=\"";
    out += place.Country;
    out += "\">";
    out += place.Country;
    out +=
        "</country>\n      </bdata>\n    </public_data>\n    <text_data>\n"
        "      <shortbiography>";
    const int sentences = 11 + static_cast<int>(random() % 17);
    for (int i = 0; i < sentences; ++i) {
        out += kBiographySentences[random() % std::size(kBiographySentences)];
        if (random() % 6 == 0) out += "\n\n";
    }
    out += "</shortbiography>\n    </text_data>\n    <research_data>\n      <categories>\n";
    const int categories = 2 + static_cast<int>(random() % 4);
    for (int i = 0; i < categories; ++i) {
        const std::size_t category = random() % std::size(kCategories);
        out += "        <category cat_id=\"" + std::to_string(100 + category) + "\">";
        out += kCategories[category];
        out += "</category>\n";
    }
    out += "      </categories>\n      <source_notes>Birth certificate in hand, entry " + idText +
           ".</source_notes>\n    </research_data>\n  </adb_entry>\n";
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 4) {
        std::fputs("usage: tervalo-generate aaf|aaf-utf8|qck|adbxml CHARTS FILE\n", stderr);
        return 2;
    }
    const std::string_view kind = argv[1];
    Format format = Format::Aaf;
    if (kind == "aaf-utf8") {
        format = Format::AafUtf8;
    } else if (kind == "qck") {
        format = Format::Qck;
    } else if (kind == "adbxml") {
        format = Format::AdbXml;
    } else if (kind != "aaf") {
        std::fprintf(stderr, "unknown format: %s\n", argv[1]);
        return 2;
    }
    const long charts = std::strtol(argv[2], nullptr, 10);
    std::FILE* file = std::fopen(argv[3], "wb");
    if (file == nullptr || charts <= 0) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 1;
    }
    std::mt19937 random(20261208);
    std::string block;
    if (format == Format::AdbXml)
        block =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<astrodatabank_export export_format=\"160715\">\n";
    for (long i = 0; i < charts; ++i) {
        if (format == Format::AdbXml) {
            AppendAdbEntry(block, random, i + 1);
        } else if (format == Format::Qck) {
            AppendQckChart(block, random);
        } else {
            AppendAafChart(block, random, format);
        }
        if (block.size() > (1 << 20)) {
            std::fwrite(block.data(), 1, block.size(), file);
            block.clear();
        }
    }
    if (format == Format::AdbXml) block += "</astrodatabank_export>\n";
    std::fwrite(block.data(), 1, block.size(), file);
    return std::fclose(file) == 0 ? 0 : 1;
}
