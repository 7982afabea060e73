// Each order sorts the lines by a key made once per line (the kept bytes, folded), then by the
// line itself, so the comparison is a strict total order and any sort gives the same result.
#include "pack/reference_order.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>

#include "base/run_both.h"

namespace wordperm {
namespace {

bool is_alnum(std::uint8_t c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

std::uint8_t to_lower(std::uint8_t c) {
    return c >= 'A' && c <= 'Z' ? static_cast<std::uint8_t>(c + 32) : c;
}

// Appends the key of `line` in the dictionary orders.
void dictionary_key(std::string_view line, bool fold, std::string& key) {
    for (const char ch : line) {
        const auto c = static_cast<std::uint8_t>(ch);
        if (!is_alnum(c) && c != ' ' && c != '\t') continue;
        key.push_back(static_cast<char>(fold && c >= 'a' && c <= 'z' ? c - 32 : c));
    }
}

// Appends the key of `line` with accents folded.
void folded_key(std::string_view line, std::string& key) {
    // Base letters of U+00C0 to U+00FF; '.' marks the signs that are not letters, and the two
    // letters that fold to two (AE, sharp s) are handled apart.
    static constexpr std::string_view kBase =
        "aaaaaaaceeeeiiiidnooooo.ouuuuytsaaaaaaaceeeeiiiidnooooo.ouuuuyty";
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<std::uint8_t>(line[i]);
        if (i + 1 < line.size()) {
            const auto next = static_cast<std::uint8_t>(line[i + 1]);
            if (c == 0xC3 && next >= 0x80 && next <= 0xBF) {
                const std::size_t at = next - 0x80u;
                if (next == 0x86 || next == 0xA6) {
                    key += "ae";
                    ++i;
                    continue;
                }
                if (next == 0x9F) {
                    key += "ss";
                    ++i;
                    continue;
                }
                if (kBase[at] != '.') {
                    key.push_back(kBase[at]);
                    ++i;
                    continue;
                }
            }
            if (c == 0xC5 && (next == 0x92 || next == 0x93)) {
                key += "oe";
                ++i;
                continue;
            }
        }
        if (is_alnum(c) || c >= 0x80) key.push_back(static_cast<char>(to_lower(c)));
    }
}

}  // namespace

std::vector<std::uint32_t> reference_ranks(const LineSet& set, ReferenceOrder order, bool reversed,
                                           bool two_threads) {
    const std::size_t d = set.distinct();
    std::vector<std::uint32_t> sorted(d);
    std::iota(sorted.begin(), sorted.end(), 0u);
    if (order != ReferenceOrder::byte) {
        std::string keys;
        std::vector<std::uint32_t> key_start(d + 1, 0);
        keys.reserve(set.bytes.size());
        for (std::size_t k = 0; k < d; ++k) {
            if (order == ReferenceOrder::accents_folded)
                folded_key(set.line(k), keys);
            else
                dictionary_key(set.line(k), order == ReferenceOrder::dictionary_folded, keys);
            key_start[k + 1] = static_cast<std::uint32_t>(keys.size());
        }
        auto key = [&](std::uint32_t k) {
            return std::string_view(keys).substr(key_start[k], key_start[k + 1] - key_start[k]);
        };
        // Most comparisons are settled by a key's first 8 bytes, compared as one number (keys
        // hold no zero byte, so the zero padding of a short key sorts it first, as a string
        // comparison would); the rest of the keys, then byte order of the lines (index order),
        // settle the others.
        struct Entry {
            std::uint64_t head;
            std::uint32_t line;
        };
        std::vector<Entry> entries(d);
        for (std::uint32_t k = 0; k < d; ++k) {
            const std::string_view line_key = key(k);
            std::uint64_t head = 0;
            for (std::size_t i = 0; i < 8; ++i)
                head =
                    head << 8 | (i < line_key.size() ? static_cast<std::uint8_t>(line_key[i]) : 0);
            entries[k] = {head, k};
        }
        auto before = [&](const Entry& a, const Entry& b) {
            if (a.head != b.head) return a.head < b.head;
            const std::string_view rest_a = key(a.line), rest_b = key(b.line);
            const int c = rest_a.substr(std::min<std::size_t>(8, rest_a.size()))
                              .compare(rest_b.substr(std::min<std::size_t>(8, rest_b.size())));
            return c != 0 ? c < 0 : a.line < b.line;
        };
        const auto middle = entries.begin() + static_cast<std::ptrdiff_t>(d / 2);
        if (two_threads) {
            run_both(
                d, [&] { std::sort(entries.begin(), middle, before); },
                [&] { std::sort(middle, entries.end(), before); });
            std::inplace_merge(entries.begin(), middle, entries.end(), before);
        } else {
            std::sort(entries.begin(), entries.end(), before);
        }
        for (std::size_t r = 0; r < d; ++r)
            sorted[r] = entries[r].line;
    }
    std::vector<std::uint32_t> rank(d);
    for (std::size_t r = 0; r < d; ++r)
        rank[sorted[r]] = static_cast<std::uint32_t>(reversed ? d - 1 - r : r);
    return rank;
}

}  // namespace wordperm
