// Likely duplicates among the charts of a combined run: one person from two sources.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tervalo {

struct ChartRecord;

// A chart of the run: its input's index in the list and its number in that input.
struct ChartId {
    std::uint32_t File = 0;
    std::uint32_t Chart = 0;
    bool operator==(const ChartId&) const = default;
};

// Two charts are likely one person's when they have
// - the same date and calendar,
// - clock times within 2 minutes,
// - latitudes and longitudes each within 0.1 degree,
// - names alike: folded as the file list folds letters (case and accents gone, Ő as o), a name
//   is its words, the letters and digits between anything else. Names are alike when they hold
//   the same words in any order and split over the two fields in any way ("Kovács János" in one
//   field, "KOVACS, Janos" in two, "János Kovács"), or when both run to 20 or more characters
//   and agree in their first 20: QCK keeps "Last,First" in 23 columns, and a long name from
//   there is the other's beginning.
// Charts are found through a hash of the date and a coarse cell of the place, the cells around
// it included, so each chart is compared with the few of its day and region alone. Each chart
// keeps 32 bytes (its time, place, two 32-bit hashes of its name), and each cell in use a slot
// of 16 bytes in a table at most half full.
class DuplicateFinder {
public:
    // What a chart is compared by. Forming it is most of the work, and needs nothing but the
    // chart: it can be done wherever the chart is read.
    struct Key {
        std::uint32_t Date = 0;  // year, month, day and calendar packed
        float Time = 0;
        float Latitude = 0;
        float Longitude = 0;
        std::uint32_t Words = 0;   // order-free hash of the name's words
        std::uint32_t Prefix = 0;  // hash of the name's first characters; 0 when it is shorter
        std::uint32_t HasWords = 0;
        // The cell of the place, and the cells its neighbourhood touches, first and last.
        std::int16_t LatitudeCell = 0;
        std::int16_t LongitudeCell = 0;
        std::int16_t LatitudeFirst = 0;
        std::int16_t LatitudeLast = 0;
        std::int16_t LongitudeFirst = 0;
        std::int16_t LongitudeLast = 0;
    };
    static Key KeyOf(const ChartRecord& chart);

    // The earliest chart added before that `chart` is a likely duplicate of, if any; then adds
    // `chart` (a chart without a name is never alike, and is not kept).
    std::optional<ChartId> Add(const Key& chart, ChartId id);
    std::optional<ChartId> Add(const ChartRecord& chart, ChartId id) {
        return Add(KeyOf(chart), id);
    }

    void Clear();

private:
    // A chart added: its slot names its date and cell.
    struct Entry {
        float Time;
        float Latitude;
        float Longitude;
        std::uint32_t Words;   // order-free hash of the name's words
        std::uint32_t Prefix;  // hash of the name's first characters; 0 when it is shorter
        std::uint32_t Next;    // the next entry of the same cell, + 1; 0 ends the chain
        ChartId Id;
    };

    // A slot names its cell beside the cell's first entry, and a bit of each name hash of the
    // cell's entries, so that a lookup, an insertion and a growth read no entry unless one of
    // them may be alike: with a million charts each entry read is a miss of the cache.
    struct Slot {
        std::uint64_t Cell = 0;  // date and cells, mixed: one to one, and spread for the table
        std::uint32_t Head = 0;  // the first entry of the cell, + 1; 0 is an empty slot
        std::uint32_t Names = 0;
    };
    Slot& FindSlot(std::uint64_t cell);
    void Grow();

    std::vector<Entry> Entries;
    // Open addressing: each slot holds the first entry of one cell, + 1; 0 is an empty slot.
    std::vector<Slot> Slots;
    std::size_t UsedSlots = 0;
};

}  // namespace tervalo
