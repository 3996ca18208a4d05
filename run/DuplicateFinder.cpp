// Likely duplicates among the charts of a combined run: one person from two sources.
#include "run/DuplicateFinder.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "core/ChartRecord.h"
#include "formats/FoldChartName.h"

namespace tervalo {

namespace {

constexpr double kTimeTolerance = 2.0 / 60;  // hours
constexpr double kPlaceTolerance = 0.1;      // degrees
// Floats keep the values: a hundredth of an arc second covers their rounding, so that two
// places written 0.1 degree apart still count as within it.
constexpr double kFloatSlack = 1e-4;
// Cells of a degree: a place's neighbourhood of 0.1 degree lies in one cell on two charts in
// three, and in two (or four) near a cell's edge. Each cell looked at costs a miss of the cache
// at a million charts, and few days have two charts within a degree of each other.
constexpr double kCellSize = 1.0;
constexpr double kLargestCoordinate = 1000;  // damaged values are held here for the cell
constexpr std::size_t kPrefixLength = 20;
constexpr std::size_t kFirstSlots = 1024;

std::uint64_t Mix(std::uint64_t value) {
    value ^= value >> 33;
    value *= 0xFF51AFD7ED558CCDull;
    value ^= value >> 33;
    value *= 0xC4CEB9FE1A85EC53ull;
    value ^= value >> 33;
    return value;
}

std::uint32_t Fold32(std::uint64_t value) {
    return static_cast<std::uint32_t>(value ^ (value >> 32));
}

struct NameKey {
    std::uint32_t Words = 0;
    std::uint32_t Prefix = 0;
    bool HasWords = false;
};

// The name's words in the folding of the file list and the chart file names: letters to their
// plain lower-case letter, digits kept, everything else between words.
NameKey KeyOfName(const ChartRecord& chart) {
    constexpr std::uint64_t kFnvOffset = 0xCBF29CE484222325ull;
    constexpr std::uint64_t kFnvPrime = 0x100000001B3ull;
    std::uint64_t wordsSum = 0;
    std::uint64_t word = kFnvOffset;
    bool inWord = false;
    std::uint64_t prefix = kFnvOffset;
    std::size_t joined = 0;  // characters of the words joined by single spaces
    bool hasWords = false;
    const auto take = [&](unsigned char c) {
        if (c >= 0x41) c = kTransliterationTable[c];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
        if (!letter) {
            if (inWord) wordsSum += Mix(word);
            inWord = false;
            return;
        }
        const auto join = [&](unsigned char joinedChar) {
            if (joined++ < kPrefixLength) prefix = (prefix ^ joinedChar) * kFnvPrime;
        };
        if (!inWord) {
            word = kFnvOffset;
            if (hasWords) join(' ');
            inWord = hasWords = true;
        }
        word = (word ^ c) * kFnvPrime;
        join(c);
    };
    for (const char c : FieldText(chart.LastName))
        take(static_cast<unsigned char>(c));
    take(' ');
    for (const char c : FieldText(chart.FirstName))
        take(static_cast<unsigned char>(c));
    take(' ');
    NameKey key;
    key.HasWords = hasWords;
    key.Words = Fold32(Mix(wordsSum));
    // 0 says "too short to compare by its beginning".
    if (joined >= kPrefixLength) key.Prefix = Fold32(Mix(prefix)) | 1u;
    return key;
}

std::uint32_t PackedDate(const ChartRecord& chart) {
    const auto year =
        static_cast<std::uint32_t>(std::clamp(chart.Year, kMinYear, kMaxYear) + 10000);
    const auto month = static_cast<std::uint32_t>(std::clamp(chart.Month, 0, 63));
    const auto day = static_cast<std::uint32_t>(std::clamp(chart.Day, 0, 63));
    return ((year * 64 + month) * 64 + day) * 2 + (chart.Gregorian ? 1 : 0);
}

std::int16_t CellOf(double coordinate) {
    if (!std::isfinite(coordinate)) return 0;
    const double bounded = std::clamp(coordinate, -kLargestCoordinate, kLargestCoordinate);
    // The floor, as the truncation of a value made positive first: std::floor is a call of the
    // library here, and every chart of a combined run asks for six.
    constexpr double kCellsBelow = kLargestCoordinate / kCellSize;
    return static_cast<std::int16_t>(static_cast<int>(bounded / kCellSize + kCellsBelow) -
                                     static_cast<int>(kCellsBelow));
}

// The cells from `first` to `last` that hold the places within the tolerance of `value`.
void CellsAround(float value, std::int16_t& cell, std::int16_t& first, std::int16_t& last) {
    const double reach = kPlaceTolerance + kFloatSlack;
    cell = CellOf(value);
    first = CellOf(value - reach);
    last = CellOf(value + reach);
}

bool Within(float left, float right, double tolerance) {
    return std::fabs(static_cast<double>(left) - static_cast<double>(right)) <=
           tolerance + kFloatSlack;
}

// Mix is a bijection of 64-bit values, so equal results are the same date and cells.
std::uint64_t CellName(std::uint32_t date, std::int16_t latitudeCell, std::int16_t longitudeCell) {
    return (Mix(std::uint64_t{date} << 32 |
                std::uint64_t{static_cast<std::uint16_t>(latitudeCell)} << 16 |
                static_cast<std::uint16_t>(longitudeCell)));
}

// A bit for each of a name's two hashes: a cell whose entries' bits miss both holds no name
// alike.
std::uint32_t NameBits(std::uint32_t words, std::uint32_t prefix) {
    return (std::uint32_t{1} << (words & 31)) |
           (prefix != 0 ? std::uint32_t{1} << (prefix >> 27) : 0);
}

}  // namespace

DuplicateFinder::Slot& DuplicateFinder::FindSlot(std::uint64_t cell) {
    const std::size_t mask = Slots.size() - 1;
    for (std::size_t at = cell & mask;; at = (at + 1) & mask) {
        Slot& slot = Slots[at];
        if (slot.Head == 0 || slot.Cell == cell) return slot;
    }
}

void DuplicateFinder::Grow() {
    std::vector<Slot> old = std::move(Slots);
    Slots.assign(old.empty() ? kFirstSlots : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
        if (slot.Head != 0) FindSlot(slot.Cell) = slot;
    }
}

DuplicateFinder::Key DuplicateFinder::KeyOf(const ChartRecord& chart) {
    const NameKey name = KeyOfName(chart);
    Key key;
    key.Date = PackedDate(chart);
    key.Time = static_cast<float>(chart.Time);
    key.Latitude = static_cast<float>(chart.Latitude);
    key.Longitude = static_cast<float>(chart.Longitude);
    key.Words = name.Words;
    key.Prefix = name.Prefix;
    key.HasWords = name.HasWords ? 1u : 0u;
    CellsAround(key.Latitude, key.LatitudeCell, key.LatitudeFirst, key.LatitudeLast);
    CellsAround(key.Longitude, key.LongitudeCell, key.LongitudeFirst, key.LongitudeLast);
    return key;
}

std::optional<ChartId> DuplicateFinder::Add(const Key& key, ChartId id) {
    if ((UsedSlots + 1) * 2 > Slots.size()) Grow();

    Entry entry{key.Time, key.Latitude, key.Longitude, key.Words, key.Prefix, 0, id};

    // A chart without a name has nothing to be alike in, and is not kept.
    if (key.HasWords == 0) return std::nullopt;
    const std::uint32_t names = NameBits(key.Words, key.Prefix);
    std::optional<ChartId> earlier;
    std::size_t earliest = Entries.size();
    {
        for (std::int32_t latitudeCell = key.LatitudeFirst; latitudeCell <= key.LatitudeLast;
             ++latitudeCell) {
            for (std::int32_t longitudeCell = key.LongitudeFirst;
                 longitudeCell <= key.LongitudeLast; ++longitudeCell) {
                const Slot& slot =
                    FindSlot(CellName(key.Date, static_cast<std::int16_t>(latitudeCell),
                                      static_cast<std::int16_t>(longitudeCell)));
                if ((slot.Names & names) == 0) continue;
                for (std::uint32_t link = slot.Head; link != 0; link = Entries[link - 1].Next) {
                    const Entry& other = Entries[link - 1];
                    const bool alike = other.Words == entry.Words ||
                                       (entry.Prefix != 0 && other.Prefix == entry.Prefix);
                    if (alike && Within(other.Time, entry.Time, kTimeTolerance) &&
                        Within(other.Latitude, entry.Latitude, kPlaceTolerance) &&
                        Within(other.Longitude, entry.Longitude, kPlaceTolerance) &&
                        link - 1 < earliest) {
                        earliest = link - 1;
                        earlier = other.Id;
                    }
                }
            }
        }
    }

    const std::uint64_t cell = CellName(key.Date, key.LatitudeCell, key.LongitudeCell);
    Slot& slot = FindSlot(cell);
    if (slot.Head == 0) ++UsedSlots;
    entry.Next = slot.Head;
    Entries.push_back(entry);
    slot = {cell, static_cast<std::uint32_t>(Entries.size()), slot.Names | names};
    return earlier;
}

void DuplicateFinder::Clear() {
    Entries.clear();
    Slots.clear();
    UsedSlots = 0;
}

}  // namespace tervalo
