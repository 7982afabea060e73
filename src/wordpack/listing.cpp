// Columns wide enough for lists of up to 2 GiB, numbers grouped by thousands for the eye.
#include "wordpack/listing.h"

#include <cstdio>

namespace wordperm {
namespace {

std::string grouped(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string text;
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k != 0 && (digits.size() - k) % 3 == 0) text += ',';
        text += digits[k];
    }
    return text;
}

std::string percent(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%%",
                  100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return text;
}

void print_row(const std::string& lines, const std::string& distinct, const std::string& original,
               const std::string& packed, const std::string& ratio, const std::string& set,
               const std::string& order, const std::string& name) {
    std::printf("%13s %13s %15s %15s %7s  %-15s %-32s %s\n", lines.c_str(), distinct.c_str(),
                original.c_str(), packed.c_str(), ratio.c_str(), set.c_str(), order.c_str(),
                name.c_str());
}

std::string order_of(const ArchiveInfo& info) {
    if (info.order_model == 0) return "none";
    std::string order(order_model_name(info.order_model));
    order += info.reversed ? " of reversed " : " of ";
    order += reference_order_name(info.reference);
    return order;
}

}  // namespace

void Listing::add(const std::string& name, const ArchiveInfo& info) {
    if (rows_++ == 0)
        print_row("Lines", "Distinct", "Original", "Packed", "Ratio", "Set", "Order", "Name");
    print_row(grouped(info.lines), grouped(info.distinct), grouped(info.original_bytes),
              grouped(info.packed_bytes), percent(info.packed_bytes, info.original_bytes),
              std::string(set_stage_name(info.set_stage)), order_of(info), name);
    if (sections_)
        std::printf("%13s set %s bytes, counts %s bytes, order %s bytes%s\n", "",
                    grouped(info.set_bytes).c_str(), grouped(info.counts_bytes).c_str(),
                    grouped(info.order_bytes).c_str(),
                    info.final_line_feed ? "" : "; the last line has no line feed");
    lines_ += info.lines;
    distinct_ += info.distinct;
    original_ += info.original_bytes;
    packed_ += info.packed_bytes;
}

void Listing::finish() {
    if (rows_ < 2) return;
    print_row(grouped(lines_), grouped(distinct_), grouped(original_), grouped(packed_),
              percent(packed_, original_), "", "", std::to_string(rows_) + " archives");
}

}  // namespace wordperm
