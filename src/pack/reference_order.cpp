// Each order sorts the lines by a key, then by the line itself, so the comparison is a strict
// total order and any sort gives the same result. The orders that keep some bytes make their
// keys once per line; the numeric order compares the lines themselves, a run of digits at a
// time, so that it needs no more memory than the others although its key is longer than the
// line.
#include "pack/reference_order.h"

#include <algorithm>
#include <numeric>
#include <string>
#include <string_view>

#include "base/run_both.h"

namespace wordperm {
namespace {

bool is_digit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

bool is_alnum(std::uint8_t c) {
    return is_digit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The digits of the run that starts at `at`, without its leading zeros; moves `at` past the run.
std::string_view digit_run(std::string_view line, std::size_t& at) {
    while (at < line.size() && line[at] == '0')
        ++at;
    const std::size_t start = at;
    while (at < line.size() && is_digit(static_cast<std::uint8_t>(line[at])))
        ++at;
    return line.substr(start, at - start);
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

// Most comparisons are settled by a summary of each line's key in 64 bits, which orders the
// lines as their keys do wherever it differs; `before` settles the others.
struct Entry {
    std::uint64_t head;
    std::uint32_t line;
};

template <class Before>
void sort_entries(std::vector<Entry>& entries, Before before, bool two_threads) {
    const auto middle = entries.begin() + static_cast<std::ptrdiff_t>(entries.size() / 2);
    if (two_threads) {
        run_both(
            entries.size(), [&] { std::sort(entries.begin(), middle, before); },
            [&] { std::sort(middle, entries.end(), before); });
        std::inplace_merge(entries.begin(), middle, entries.end(), before);
    } else {
        std::sort(entries.begin(), entries.end(), before);
    }
}

// The lines in the order of a key made of their kept bytes.
void sort_by_kept_bytes(const LineSet& set, ReferenceOrder order, bool two_threads,
                        std::vector<Entry>& entries) {
    const std::size_t d = set.distinct();
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
    // The head is a key's first 8 bytes as one number (keys hold no zero byte, so the zero
    // padding of a short key sorts it first, as a string comparison would).
    for (std::uint32_t k = 0; k < d; ++k) {
        const std::string_view line_key = key(k);
        std::uint64_t head = 0;
        for (std::size_t i = 0; i < 8; ++i)
            head = head << 8 | (i < line_key.size() ? static_cast<std::uint8_t>(line_key[i]) : 0);
        entries[k] = {head, k};
    }
    auto before = [&](const Entry& a, const Entry& b) {
        if (a.head != b.head) return a.head < b.head;
        const std::string_view rest_a = key(a.line), rest_b = key(b.line);
        const int c = rest_a.substr(std::min<std::size_t>(8, rest_a.size()))
                          .compare(rest_b.substr(std::min<std::size_t>(8, rest_b.size())));
        return c != 0 ? c < 0 : a.line < b.line;
    };
    sort_entries(entries, before, two_threads);
}

// What each place of a line weighs in the numeric order: a tilde, the end of the line, a run of
// digits, a letter, any other byte, in that order (as `sort -V` weighs them).
constexpr int kTilde = 0, kLineEnd = 1, kDigits = 2;  // then letters as themselves, then 256 + byte

int weight(std::string_view line, std::size_t at) {
    if (at == line.size()) return kLineEnd;
    const auto c = static_cast<std::uint8_t>(line[at]);
    if (c == '~') return kTilde;
    if (is_digit(c)) return kDigits;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return c;
    return c + 256;
}

// The numeric order's head: the first 8 bytes of a byte string that sorts as numeric_compare
// does, zero-padded. In it a tilde is 1, the end of the line 2 (and nothing after it), a run of
// digits 3, the count of its digits after the leading zeros, then those digits, a letter itself,
// and any other byte 255 and then itself. A run of 255 digits or more ends the head with the byte
// 255, where its count would need more bytes: still a prefix of such a string. A zero-padded
// prefix never orders two lines against their keys, so equal heads only defer to the full
// comparison.
std::uint64_t numeric_head(std::string_view line) {
    std::uint64_t head = 0;
    int filled = 0;
    auto put = [&](std::uint8_t b) {
        if (filled == 8) return;
        head = head << 8 | b;
        ++filled;
    };
    for (std::size_t at = 0; filled < 8;) {
        const int w = weight(line, at);
        if (w == kTilde || w == kLineEnd) {
            put(static_cast<std::uint8_t>(w + 1));
            if (w == kLineEnd) break;
            ++at;
        } else if (w == kDigits) {
            const std::string_view run = digit_run(line, at);
            put(3);
            if (run.size() >= 255) {
                put(255);
                break;
            }
            put(static_cast<std::uint8_t>(run.size()));
            for (const char digit : run)
                put(static_cast<std::uint8_t>(digit));
        } else {
            if (w > 255) put(255);
            put(static_cast<std::uint8_t>(line[at++]));
        }
    }
    return head << (8 * (8 - filled));
}

void sort_numerically(const LineSet& set, bool two_threads, std::vector<Entry>& entries) {
    for (std::uint32_t k = 0; k < entries.size(); ++k)
        entries[k] = {numeric_head(set.line(k)), k};
    auto before = [&](const Entry& a, const Entry& b) {
        if (a.head != b.head) return a.head < b.head;
        const int c = numeric_compare(set.line(a.line), set.line(b.line));
        return c != 0 ? c < 0 : a.line < b.line;
    };
    sort_entries(entries, before, two_threads);
}

}  // namespace

std::uint8_t reference_orders(FormatVersion version) {
    return version >= FormatVersion::v3 ? 5 : 4;
}

int numeric_compare(std::string_view a, std::string_view b) {
    for (std::size_t i = 0, j = 0;;) {
        const int x = weight(a, i), y = weight(b, j);
        if (x != y) return x < y ? -1 : 1;
        if (x == kLineEnd) return 0;
        if (x == kDigits) {
            // Compared as digit strings, so that runs of any length compare without overflow.
            const std::string_view p = digit_run(a, i), q = digit_run(b, j);
            if (p.size() != q.size()) return p.size() < q.size() ? -1 : 1;
            if (const int c = p.compare(q); c != 0) return c < 0 ? -1 : 1;
        } else {
            ++i;
            ++j;
        }
    }
}

std::vector<std::uint32_t> reference_ranks(const LineSet& set, ReferenceOrder order, bool reversed,
                                           bool two_threads) {
    const std::size_t d = set.distinct();
    std::vector<std::uint32_t> sorted(d);
    std::iota(sorted.begin(), sorted.end(), 0u);
    if (order != ReferenceOrder::byte) {
        std::vector<Entry> entries(d);
        if (order == ReferenceOrder::numeric)
            sort_numerically(set, two_threads, entries);
        else
            sort_by_kept_bytes(set, order, two_threads, entries);
        for (std::size_t r = 0; r < d; ++r)
            sorted[r] = entries[r].line;
    }
    std::vector<std::uint32_t> rank(d);
    for (std::size_t r = 0; r < d; ++r)
        rank[sorted[r]] = static_cast<std::uint32_t>(reversed ? d - 1 - r : r);
    return rank;
}

}  // namespace wordperm
