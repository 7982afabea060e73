// Reference orders of a set's lines, which the order models code the list's order against and
// which the unpacker recomputes from the set alone.
//
// byte: the set's own order. dictionary: `LC_ALL=C sort -d`: only letters, digits, blanks count.
// dictionary_folded: the same with lower case folded to upper (`sort -df`). accents_folded:
// letters, digits and bytes above 127 count, letters in lower case, and the Latin-1 letters
// of UTF-8 (U+00C0 to U+00FF) and the ligatures oe and OE as their base letters, which is how
// a locale's collation orders most dictionaries of Western languages at its first level. Lines
// whose kept keys are equal keep byte order, as sort's last-resort comparison does. numeric:
// every byte counts, each maximal run of ASCII digits as the number it writes, and places weigh
// as `sort -V` weighs them: a tilde before the end of a line, that before a number, numbers
// before letters, letters before other bytes (`seq`, `sort -n` of whole numbers, `sort -V` of
// versions and addresses). Each has a reversed
// twin. Version 1 and 2 blocks know the first four orders only (format_version.h).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "pack/format_version.h"
#include "pack/line_set.h"

namespace wordperm {

enum class ReferenceOrder : std::uint8_t {
    byte = 0,
    dictionary = 1,
    dictionary_folded = 2,
    accents_folded = 3,
    numeric = 4,
};

// How many orders blocks of `version` may name: orders 0 to the result - 1.
std::uint8_t reference_orders(FormatVersion version);

// The numeric order's comparison of two lines: below zero, zero or above zero. Lines that
// compare equal here are ordered by their index.
int numeric_compare(std::string_view a, std::string_view b);

// rank[k]: the position of distinct line k in the order (reversed when asked). With
// `two_threads`, a large set's two halves are sorted side by side. Throws std::bad_alloc.
std::vector<std::uint32_t> reference_ranks(const LineSet& set, ReferenceOrder order, bool reversed,
                                           bool two_threads = false);

}  // namespace wordperm
