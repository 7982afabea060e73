// Splitting sorts line indices by content with std::sort; equal lines then collapse into one
// entry, so the order among equal lines, which the sort leaves open, never shows.
#include "pack/line_set.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace wordperm {

SplitList split_list(std::span<const std::uint8_t> list) {
    std::vector<std::uint32_t> begin;  // input line i is [begin[i], begin[i + 1] - 1)
    begin.push_back(0);
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i] == '\n') begin.push_back(static_cast<std::uint32_t>(i + 1));
    SplitList split;
    split.final_line_feed = list.empty() || list.back() == '\n';
    // A bare last line ends at the end of the list, as if a line feed followed it.
    if (!split.final_line_feed) begin.push_back(static_cast<std::uint32_t>(list.size() + 1));
    const std::size_t n = begin.size() - 1;
    auto content = [&](std::uint32_t i) {
        return std::string_view(reinterpret_cast<const char*>(list.data()) + begin[i],
                                begin[i + 1] - 1 - begin[i]);
    };
    std::vector<std::uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return content(a) < content(b); });

    LineSet& set = split.set;
    split.line_index.resize(n);
    set.start.push_back(0);
    for (std::size_t j = 0; j < n; ++j) {
        const std::string_view line = content(order[j]);
        if (j == 0 || line != content(order[j - 1])) {
            set.bytes.insert(set.bytes.end(), line.begin(), line.end());
            set.start.push_back(static_cast<std::uint32_t>(set.bytes.size()));
            set.count.push_back(0);
        }
        ++set.count.back();
        split.line_index[order[j]] = static_cast<std::uint32_t>(set.count.size() - 1);
    }
    // The set lives through every later step, beside the models' tables: give back what growing
    // it left spare.
    set.bytes.shrink_to_fit();
    set.start.shrink_to_fit();
    set.count.shrink_to_fit();
    return split;
}

std::uint64_t joined_size(const LineSet& set, bool final_line_feed) {
    std::uint64_t size = 0, lines = 0;
    for (std::size_t k = 0; k < set.distinct(); ++k) {
        size += std::uint64_t{set.count[k]} * (set.start[k + 1] - set.start[k] + 1);
        lines += set.count[k];
    }
    return lines != 0 && !final_line_feed ? size - 1 : size;
}

std::vector<std::uint8_t> join_list(const LineSet& set, std::span<const std::uint32_t> line_index,
                                    bool final_line_feed) {
    std::vector<std::uint8_t> list(joined_size(set, final_line_feed));
    std::uint8_t* out = list.data();
    for (std::uint32_t k : line_index) {
        const std::string_view line = set.line(k);
        if (!line.empty()) std::memcpy(out, line.data(), line.size());
        out += line.size();
        // Every line but a bare last one ends with a line feed.
        if (out != list.data() + list.size()) *out++ = '\n';
    }
    return list;
}

}  // namespace wordperm
