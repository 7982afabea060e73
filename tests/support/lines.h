// The lines of a text as strings, for checks that compare files line by line rather than byte by
// byte: a decode that may pick any order, a sorted list against the input it came from; and lines
// made into a text.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace wordperm::testing {

// The lines as a text, each followed by a line feed but the last when `bare_last`.
inline std::string join_lines(const std::vector<std::string>& lines, bool bare_last = false) {
    std::string text;
    for (const std::string& line : lines)
        text += line + '\n';
    if (bare_last && !text.empty()) text.pop_back();
    return text;
}

// True when the text's last line has no line feed.
inline bool ends_bare(std::string_view text) {
    return !text.empty() && text.back() != '\n';
}

// The text's lines, each with its line feed, in order; a bare last line is given one, so that
// files which differ only in that respect have the same lines.
inline std::vector<std::string> closed_lines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::size_t length = end == std::string_view::npos ? text.size() : end + 1;
        lines.emplace_back(text.substr(0, length));
        if (end == std::string_view::npos) lines.back() += '\n';
        text.remove_prefix(length);
    }
    return lines;
}

// The closed lines in ascending order of their unsigned bytes (char_traits<char> compares bytes
// as unsigned char).
inline std::vector<std::string> sorted_closed_lines(std::string_view text) {
    std::vector<std::string> lines = closed_lines(text);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace wordperm::testing
