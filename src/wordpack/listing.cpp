// Columns wide enough for any list, numbers grouped by thousands for the eye.
#include "wordpack/listing.h"

#include "pack/order_models.h"

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

}  // namespace

std::string order_coding(const BlockHeader& header) {
    const SectionEntry& order = header.sections[2];
    if (order.stage == 0) return "none";
    std::string coding(order_model_name(order.stage));
    if (order.stage == static_cast<std::uint8_t>(OrderModel::uniform) ||
        order.stage == static_cast<std::uint8_t>(OrderModel::context))
        return coding;
    coding += order.variant % 2 ? " of reversed " : " of ";
    coding += reference_order_name(static_cast<std::uint8_t>(order.variant / 2));
    return coding;
}

void Listing::add(const std::string& name, const ArchiveInfo& info) {
    if (rows_++ == 0)
        std::fprintf(out_, "%15s %19s %19s %7s %9s  %s\n", "Lines", "Original", "Packed", "Ratio",
                     "Blocks", "Name");
    std::fprintf(out_, "%15s %19s %19s %7s %9s  %s%s\n", grouped(info.lines).c_str(),
                 grouped(info.list_bytes).c_str(), grouped(info.archive_bytes).c_str(),
                 percent(info.archive_bytes, info.list_bytes).c_str(),
                 grouped(info.blocks.size()).c_str(), name.c_str(),
                 info.version1 ? " (version 1)" : "");
    if (blocks_) {
        for (const BlockInfo& block : info.blocks) {
            const BlockHeader& header = block.header;
            std::fprintf(out_,
                         "%15s %19s %19s %7s           %s distinct; set %s (%s bytes), counts %s "
                         "bytes, order %s (%s bytes)%s\n",
                         grouped(header.lines).c_str(), grouped(header.list_bytes).c_str(),
                         grouped(block.packed_bytes).c_str(),
                         percent(block.packed_bytes, header.list_bytes).c_str(),
                         grouped(header.distinct).c_str(),
                         std::string(set_stage_name(header.sections[0].stage)).c_str(),
                         grouped(header.sections[0].bytes).c_str(),
                         grouped(header.sections[1].bytes).c_str(), order_coding(header).c_str(),
                         grouped(header.sections[2].bytes).c_str(),
                         header.bare_last_line ? "; the last line has no line feed" : "");
        }
    }
    lines_ += info.lines;
    blocks_listed_ += info.blocks.size();
    original_ += info.list_bytes;
    packed_ += info.archive_bytes;
}

void Listing::finish() {
    if (rows_ < 2) return;
    std::fprintf(out_, "%15s %19s %19s %7s %9s  %d archives\n", grouped(lines_).c_str(),
                 grouped(original_).c_str(), grouped(packed_).c_str(),
                 percent(packed_, original_).c_str(), grouped(blocks_listed_).c_str(), rows_);
}

}  // namespace wordperm
