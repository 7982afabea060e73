// The radix sort: records of (key << 32 | line) sorted in place, level by level.
//
// A group is a run of records whose lines agree on every byte before its `depth`; their keys
// hold the 4 bytes from there, zero after a line feed. A level sorts every group by its keys
// alone: passes on one key byte at a time scatter a group into up to 256 buckets in place (each
// record is moved straight to its bucket, swapping out the one there), and buckets of a few
// records are finished by insertion. Runs of equal keys are what is left: a key that holds a
// line feed means equal lines; otherwise the run becomes a group of the next level, 4 bytes
// deeper (or past the common prefix of its lines, when it is large). The next level's keys are
// then loaded in one sweep over all its groups, so the loads of lines scattered over the file
// are prefetched far enough ahead to overlap, rather than met one at a time.
#include "order/line_radix_sort.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>
#include <vector>

#include "base/run_both.h"
#include "order/line_bytes.h"

namespace wordperm {
namespace {

// Buckets up to this size are sorted by insertion.
constexpr std::size_t kInsertionMaxRecords = 32;
// Groups of the next level gathered before their keys are loaded and they are sorted.
constexpr std::size_t kChunkGroups = 4096;
constexpr std::uint64_t kKeyBytes = 4;
// Keys are loaded this many at a time, their memory asked for before any is read.
constexpr std::size_t kLoadBatch = 32;
// How far ahead a walk over a group's lines asks for their starts and their bytes.
constexpr std::size_t kStartsAhead = 16;
constexpr std::size_t kBytesAhead = 8;

inline std::uint32_t key_of(std::uint64_t record) {
    return static_cast<std::uint32_t>(record >> 32);
}

inline std::uint32_t line_of(std::uint64_t record) {
    return static_cast<std::uint32_t>(record);
}

// What a pass on one key byte found: how many records take each value of the byte, and the
// least and the greatest value taken; the buckets follow each other in the order of the values.
struct Buckets {
    std::array<std::size_t, 256> sizes;
    unsigned low;
    unsigned high;
};

struct Group {
    std::size_t first;
    std::size_t count;
    std::uint64_t depth;  // the bytes before it are common; the keys hold the 4 from it
    int digit;            // the key bytes before it are common too
};

// The key of the bytes at `bytes` in `Order`, and whether the line ends inside a key.
template <LineOrder Order>
inline std::uint32_t order_key_at(const std::uint8_t* bytes) {
    if constexpr (Order == LineOrder::with_line_feed)
        return key_at<std::uint32_t>(bytes);
    else
        return prefix_first_key_at<std::uint32_t>(bytes);
}

template <LineOrder Order>
inline bool order_key_ends_line(std::uint32_t key) {
    if constexpr (Order == LineOrder::with_line_feed)
        return key_ends_line(key);
    else
        return prefix_first_key_ends_line(key);
}

template <LineOrder Order>
class Sorter {
  public:
    Sorter(const WordTable& table, std::uint64_t* records, EqualMarks& equal)
        : table_(table), records_(records), equal_(equal) {}

    // Sorts the groups, whose keys are loaded, and every group they lead to. The groups of the
    // next level are gathered in chunks of kChunkGroups; a full chunk has its keys loaded and is
    // sorted before its level goes on, which bounds the memory the lists take.
    void run(std::vector<Group> groups) {
        struct Level {
            std::vector<Group> work;  // groups with their keys loaded, taken last first
            std::vector<Group> next;  // groups of the next level, keys not yet loaded
        };
        std::vector<Level> levels(1);
        levels[0].work = std::move(groups);
        while (!levels.empty()) {
            Level& level = levels.back();
            if (!level.work.empty() && level.next.size() < kChunkGroups) {
                const Group group = level.work.back();
                level.work.pop_back();
                step(group, level.work, level.next);
                continue;
            }
            if (level.next.empty()) {
                levels.pop_back();
                continue;
            }
            std::vector<Group> chunk = std::move(level.next);
            level.next.clear();
            load_keys(chunk);
            levels.push_back({std::move(chunk), {}});
        }
    }

    // Loads the keys of these groups' records, each from its group's depth.
    void load_keys(const std::vector<Group>& groups);

    // One step on a group: a pass on its key byte `digit`, whose buckets go to `work`, or, for a
    // small group or one whose keys agree whole, the runs of equal keys, those that need more
    // bytes going to `next` as groups 4 bytes deeper (their keys not yet loaded).
    void step(Group group, std::vector<Group>& work, std::vector<Group>& next);

    // One pass on key byte `digit`: counts the records of every bucket and moves each into its
    // bucket. Returns false, moving nothing, when one bucket takes all.
    bool scatter(std::size_t first, std::size_t count, int digit, Buckets& buckets);

  private:
    void prefetch_start(std::uint32_t line) const {
        if (table_.line_start)
            __builtin_prefetch(table_.line_start + line);
        else
            __builtin_prefetch(table_.line_start_wide + line);
    }

    const std::uint8_t* line_bytes(std::uint32_t line) const {
        return table_.data + line_offset(table_, line);
    }

    // A run of records with equal keys: equal lines, or a group of the next level.
    void settle_run(std::size_t first, std::size_t count, std::uint64_t depth,
                    std::vector<Group>& next);

    // How many bytes from `depth` on every line of the run shares with its first line;
    // `all_equal` when every line equals the first, line feed included.
    std::uint64_t shared_prefix(std::size_t first, std::size_t count, std::uint64_t depth,
                                bool& all_equal) const;

    const WordTable& table_;
    std::uint64_t* records_;
    EqualMarks& equal_;
};

template <LineOrder Order>
void Sorter<Order>::load_keys(const std::vector<Group>& groups) {
    // Batches of records from the groups in turn: first every line start of a batch is asked
    // for, then every line's bytes, then the keys are read, so that each batch's misses overlap.
    std::size_t positions[kLoadBatch];
    std::uint64_t depths[kLoadBatch];
    const std::uint8_t* bytes[kLoadBatch];
    std::size_t group = 0;
    std::size_t index = 0;
    while (group < groups.size()) {
        std::size_t batch = 0;
        for (; batch < kLoadBatch && group < groups.size(); ++batch) {
            const std::size_t position = groups[group].first + index;
            positions[batch] = position;
            prefetch_start(line_of(records_[position]));
            depths[batch] = groups[group].depth;
            if (++index == groups[group].count) {
                ++group;
                index = 0;
            }
        }
        for (std::size_t k = 0; k < batch; ++k) {
            bytes[k] = line_bytes(line_of(records_[positions[k]])) + depths[k];
            __builtin_prefetch(bytes[k]);
        }
        for (std::size_t k = 0; k < batch; ++k) {
            std::uint64_t& record = records_[positions[k]];
            record = std::uint64_t{order_key_at<Order>(bytes[k])} << 32 | line_of(record);
        }
    }
}

template <LineOrder Order>
std::uint64_t Sorter<Order>::shared_prefix(std::size_t first, std::size_t count,
                                           std::uint64_t depth, bool& all_equal) const {
    const std::uint8_t* leader = line_bytes(line_of(records_[first])) + depth;
    std::uint64_t shared = UINT64_MAX;
    all_equal = true;
    for (std::size_t i = 1; i < count && shared != 0; ++i) {
        // The lines lie anywhere in the file: their starts and bytes are asked for ahead.
        if (i + kStartsAhead < count) prefetch_start(line_of(records_[first + i + kStartsAhead]));
        if (i + kBytesAhead < count)
            __builtin_prefetch(line_bytes(line_of(records_[first + i + kBytesAhead])) + depth);
        bool equal;
        shared =
            common_bytes(leader, line_bytes(line_of(records_[first + i])) + depth, shared, equal);
        all_equal = all_equal && equal;
    }
    return shared;
}

template <LineOrder Order>
void Sorter<Order>::settle_run(std::size_t first, std::size_t count, std::uint64_t depth,
                               std::vector<Group>& next) {
    if (order_key_ends_line<Order>(key_of(records_[first]))) {
        equal_.set_range(first + 1, first + count);
        return;
    }
    depth += kKeyBytes;
    if (count > kInsertionMaxRecords) {
        // Worth a look for a long common prefix, which would otherwise take a level per 4 bytes.
        bool all_equal;
        depth += shared_prefix(first, count, depth, all_equal);
        if (all_equal) {
            equal_.set_range(first + 1, first + count);
            return;
        }
    }
    next.push_back({first, count, depth, 0});
}

template <LineOrder Order>
bool Sorter<Order>::scatter(std::size_t first, std::size_t count, int digit, Buckets& buckets) {
    std::uint64_t* records = records_ + first;
    const int shift = 56 - 8 * digit;
    std::array<std::size_t, 256>& sizes = buckets.sizes;
    sizes.fill(0);
    unsigned low = 255, high = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto byte = static_cast<unsigned>(records[i] >> shift & 0xFF);
        ++sizes[byte];
        low = std::min(low, byte);
        high = std::max(high, byte);
    }
    buckets.low = low;
    buckets.high = high;
    if (low == high) return false;
    // Bucket b fills first + [start[b], start[b] + sizes[b]); next[b] is where its next record
    // goes.
    std::array<std::size_t, 256> next;
    std::size_t start = 0;
    for (unsigned b = low; b <= high; ++b) {
        next[b] = start;
        start += sizes[b];
    }
    std::size_t bucket_end = 0;
    for (unsigned b = low; b <= high; ++b) {
        bucket_end += sizes[b];
        while (next[b] < bucket_end) {
            std::uint64_t record = records[next[b]];
            auto bucket = static_cast<unsigned>(record >> shift & 0xFF);
            while (bucket != b) {
                std::swap(record, records[next[bucket]++]);
                bucket = static_cast<unsigned>(record >> shift & 0xFF);
            }
            records[next[b]++] = record;
        }
    }
    return true;
}

template <LineOrder Order>
void Sorter<Order>::step(Group group, std::vector<Group>& work, std::vector<Group>& next) {
    std::uint64_t* records = records_ + group.first;
    if (group.digit == static_cast<int>(kKeyBytes)) {
        // The keys agree whole already.
        settle_run(group.first, group.count, group.depth, next);
        return;
    }
    if (group.count <= kInsertionMaxRecords) {
        // By the key bytes still unsorted; records of equal keys stay in their order.
        const int shift = 8 * group.digit;
        const auto unsorted_key = [shift](std::uint64_t record) {
            return static_cast<std::uint32_t>(key_of(record) << shift);
        };
        for (std::size_t i = 1; i < group.count; ++i) {
            const std::uint64_t moving = records[i];
            const std::uint64_t key = unsorted_key(moving);
            std::size_t j = i;
            for (; j > 0 && key < unsorted_key(records[j - 1]); --j)
                records[j] = records[j - 1];
            records[j] = moving;
        }
        for (std::size_t i = 0, run; i < group.count; i += run) {
            run = 1;
            while (i + run < group.count && key_of(records[i + run]) == key_of(records[i]))
                ++run;
            if (run >= 2) settle_run(group.first + i, run, group.depth, next);
        }
        return;
    }
    for (; group.digit < static_cast<int>(kKeyBytes); ++group.digit) {
        Buckets buckets;
        if (!scatter(group.first, group.count, group.digit, buckets)) continue;
        std::size_t first = group.first;
        for (unsigned b = buckets.low; b <= buckets.high; ++b) {
            const std::size_t size = buckets.sizes[b];
            if (size >= 2) work.push_back({first, size, group.depth, group.digit + 1});
            first += size;
        }
        return;
    }
    settle_run(group.first, group.count, group.depth, next);
}

template <LineOrder Order>
void sort_in(const WordTable& table, std::span<std::uint64_t> sorted, EqualMarks& equal,
             bool two_threads) {
    const std::size_t n = sorted.size();
    assert(n == table.line_count);
    if (n == 0) return;
    for (std::size_t line = 0; line < n; ++line)
        sorted[line] = line;
    Sorter<Order> sorter(table, sorted.data(), equal);
    std::vector<Group> whole{{0, n, 0, 0}};
    sorter.load_keys(whole);
    if (!two_threads || n < kTwoThreadsFromItems) {
        sorter.run(std::move(whole));
        return;
    }
    // The first byte that tells the lines apart splits them; each thread takes buckets holding
    // about half the records. A bucket of more than half leaves the halves uneven.
    Buckets buckets;
    int digit = 0;
    while (digit < static_cast<int>(kKeyBytes) && !sorter.scatter(0, n, digit, buckets))
        ++digit;
    if (digit == static_cast<int>(kKeyBytes)) {
        sorter.run(std::move(whole));
        return;
    }
    std::vector<Group> halves[2];
    std::size_t first = 0;
    for (unsigned b = buckets.low; b <= buckets.high; ++b) {
        const std::size_t size = buckets.sizes[b];
        if (size >= 2) halves[first < n / 2 ? 0 : 1].push_back({first, size, 0, digit + 1});
        first += size;
    }
    run_both(
        n, [&] { Sorter<Order>(table, sorted.data(), equal).run(std::move(halves[0])); },
        [&] { Sorter<Order>(table, sorted.data(), equal).run(std::move(halves[1])); });
}

}  // namespace

void radix_sort_lines(const WordTable& table, std::span<std::uint64_t> sorted, EqualMarks& equal,
                      bool two_threads, LineOrder order) {
    if (order == LineOrder::with_line_feed)
        sort_in<LineOrder::with_line_feed>(table, sorted, equal, two_threads);
    else
        sort_in<LineOrder::prefix_first>(table, sorted, equal, two_threads);
}

}  // namespace wordperm
