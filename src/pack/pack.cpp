// The set and the order are coded by every candidate and the smallest kept: the archive says
// which stage coded each section, so the choice costs the reader nothing. The context-mixing
// model, the longest step, runs on one core while the library stages, the counts and the order
// models take the other; unpacking likewise decodes the order beside the set when the order's
// reference needs no lines.
#include "pack/pack.h"

#include <algorithm>
#include <optional>

#include "base/run_both.h"
#include "pack/container.h"
#include "pack/counts_coder.h"
#include "pack/front_coding.h"
#include "pack/library_stages.h"
#include "pack/line_set.h"
#include "pack/order_models.h"
#include "pack/section_coding.h"
#include "pack/set_model.h"

namespace wordperm {
namespace {

constexpr std::uint8_t kStageContextMixing = 1;
constexpr std::uint8_t kCountsAdaptive = 1;

using Bytes = std::vector<std::uint8_t>;

struct Section {
    Bytes bytes;
    SectionEntry entry;
};

// The set's candidates: the context-mixing model's code, and each library stage's when it is
// worth trying. `other_work` runs on a second thread beside the model, with the libraries.
template <typename OtherWork>
Section code_set(const LineSet& set, const PackOptions& options, PackBreakdown& breakdown,
                 OtherWork&& other_work) {
    const Bytes form = front_code(set);
    const int table_bits = set_table_bits(form.size());
    Section best{{}, {kStageContextMixing, static_cast<std::uint8_t>(table_bits), 0}};
    std::optional<Bytes> library[std::size(kLibraryStages)];
    bool out_of_memory = false, helper_out_of_memory = false;
    run_both(
        form.size(),
        [&] {
            try {
                for (std::size_t i = 0; i < std::size(kLibraryStages); ++i)
                    if (options.library_stages && library_stages_built() &&
                        library_stage_fits(kLibraryStages[i], form.size()))
                        library[i] = library_compress(kLibraryStages[i], form);
                other_work();
            } catch (const std::bad_alloc&) {
                helper_out_of_memory = true;
            }
        },
        [&] {
            try {
                best.bytes = encode_section([&](RangeEncoder& encoder, Stream& stream) {
                    encode_set(encoder, stream, set, table_bits);
                });
            } catch (const std::bad_alloc&) {
                out_of_memory = true;
            }
        });
    if (out_of_memory || helper_out_of_memory) throw std::bad_alloc();
    breakdown.set_model = best.bytes.size();
    for (std::size_t i = 0; i < std::size(kLibraryStages); ++i) {
        if (!library[i]) continue;
        breakdown.set_library[i] = library[i]->size();
        if (library[i]->size() < best.bytes.size())
            best = {std::move(*library[i]), {static_cast<std::uint8_t>(kLibraryStages[i]), 0, 0}};
    }
    return best;
}

// Lines that follow the line before them in the order given by `rank` (or repeat it), going up
// and going down.
void count_steps(std::span<const std::uint32_t> line_index, std::span<const std::uint32_t> rank,
                 std::uint64_t (&steps)[2]) {
    for (std::size_t i = 1; i < line_index.size(); ++i) {
        const std::uint32_t a = rank[line_index[i - 1]], b = rank[line_index[i]];
        steps[0] += b == a || b == a + 1;
        steps[1] += b == a || b + 1 == a;
    }
}

Section code_order(const SplitList& split, PackBreakdown& breakdown) {
    const LineSet& set = split.set;
    const std::size_t n = split.line_index.size(), d = set.distinct();
    if (n < 2 || d < 2) return {};
    Section best{encode_section([&](RangeEncoder& encoder, Stream& stream) {
                     encode_order(encoder, stream, OrderModel::uniform, split.line_index,
                                  set.count);
                 }),
                 {static_cast<std::uint8_t>(OrderModel::uniform), 0, 0}};
    breakdown.order_uniform = best.bytes.size();

    // The cursor models against the reference order in which most lines follow the line
    // before them: one cheap count per order instead of coding against each.
    std::vector<std::uint32_t> rank;
    std::uint64_t most = 0;
    for (std::uint8_t o = 0; o < kReferenceOrders; ++o) {
        const auto order = static_cast<ReferenceOrder>(o);
        std::vector<std::uint32_t> candidate = reference_ranks(set, order, false);
        auto& steps = breakdown.reference_steps[o];
        count_steps(split.line_index, candidate, steps);
        for (int reversed = 0; reversed < 2; ++reversed) {
            if (steps[reversed] <= most && !rank.empty()) continue;
            most = steps[reversed];
            breakdown.reference = order;
            breakdown.reversed = reversed != 0;
            rank = candidate;
        }
    }
    if (breakdown.reversed)
        for (auto& r : rank)
            r = static_cast<std::uint32_t>(d - 1 - r);
    std::vector<std::uint32_t> x(n), counts(d);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = rank[split.line_index[i]];
    for (std::size_t k = 0; k < d; ++k)
        counts[rank[k]] = set.count[k];
    const auto variant = static_cast<std::uint8_t>(static_cast<int>(breakdown.reference) * 2 +
                                                   (breakdown.reversed ? 1 : 0));
    for (const OrderModel model : {OrderModel::cursor, OrderModel::cursor_distance}) {
        Bytes bytes = encode_section([&](RangeEncoder& encoder, Stream& stream) {
            encode_order(encoder, stream, model, x, counts);
        });
        (model == OrderModel::cursor ? breakdown.order_cursor : breakdown.order_cursor_distance) =
            bytes.size();
        if (bytes.size() < best.bytes.size())
            best = {std::move(bytes), {static_cast<std::uint8_t>(model), variant, 0}};
    }
    return best;
}

PackStatus pack_checked(std::span<const std::uint8_t> list, Bytes& archive,
                        const PackOptions& options, PackBreakdown& breakdown) {
    if (list.size() >= kPackLimitBytes) return PackStatus::too_large;
    const SplitList split = split_list(list);
    const LineSet& set = split.set;
    ArchiveHeader header;
    header.flags = split.final_line_feed ? 0 : kFlagBareLastLine;
    header.original_bytes = list.size();
    header.lines = static_cast<std::uint32_t>(split.line_index.size());
    header.distinct = static_cast<std::uint32_t>(set.distinct());
    header.original_crc = list_checksum(list);

    // The counts and the order are coded beside the set's model, which takes longest.
    Section sections[kSections];
    auto code_counts_and_order = [&] {
        if (set.distinct() < split.line_index.size()) {
            sections[1] = {encode_section([&](RangeEncoder& encoder, Stream& stream) {
                               encode_counts(encoder, stream, set.count);
                           }),
                           {kCountsAdaptive, 0, 0}};
            breakdown.counts = sections[1].bytes.size();
        }
        sections[2] = code_order(split, breakdown);
    };
    if (set.distinct() != 0) sections[0] = code_set(set, options, breakdown, code_counts_and_order);
    std::array<std::span<const std::uint8_t>, kSections> views;
    for (std::size_t s = 0; s < kSections; ++s) {
        header.sections[s] = sections[s].entry;
        views[s] = sections[s].bytes;
    }
    archive = write_archive(header, views);
    return PackStatus::ok;
}

// Every relation between the header's numbers that a packed list has: checked before anything
// is decoded, so that no later step meets an impossible combination.
bool plausible(const ArchiveHeader& header) {
    const std::uint64_t size = header.original_bytes;
    const std::uint32_t n = header.lines, d = header.distinct;
    const auto& set = header.sections[0];
    const auto& counts = header.sections[1];
    const auto& order = header.sections[2];
    if (size >= kPackLimitBytes || n > size || d > n || (n == 0) != (size == 0) ||
        (d == 0) != (n == 0))
        return false;
    if (n == 0 && (header.flags & kFlagBareLastLine)) return false;
    const bool set_ok = d == 0 ? set.stage == 0 && set.variant == 0
                        : set.stage == kStageContextMixing
                            ? set.variant >= kSetTableBitsMin && set.variant <= kSetTableBitsMax
                            : set.stage >= static_cast<std::uint8_t>(LibraryStage::bzip2) &&
                                  set.stage <= static_cast<std::uint8_t>(LibraryStage::zlib) &&
                                  set.variant == 0;
    const bool counts_ok = d == n ? counts.stage == 0 && counts.variant == 0
                                  : counts.stage == kCountsAdaptive && counts.variant == 0;
    bool order_ok;
    if (n < 2 || d < 2)
        order_ok = order.stage == 0 && order.variant == 0;
    else if (order.stage == static_cast<std::uint8_t>(OrderModel::uniform))
        order_ok = order.variant == 0;
    else
        order_ok = (order.stage == static_cast<std::uint8_t>(OrderModel::cursor) ||
                    order.stage == static_cast<std::uint8_t>(OrderModel::cursor_distance)) &&
                   order.variant < 2 * kReferenceOrders;
    const bool empty_sections_ok = (set.stage != 0 || set.bytes == 0) &&
                                   (counts.stage != 0 || counts.bytes == 0) &&
                                   (order.stage != 0 || order.bytes == 0);
    return set_ok && counts_ok && order_ok && empty_sections_ok;
}

bool decode_set_section(const ArchiveHeader& header, std::span<const std::uint8_t> section,
                        LineSet& set) {
    const auto& entry = header.sections[0];
    if (entry.stage == kStageContextMixing) {
        SectionDecoder in(section);
        return decode_set(in.decoder, in.stream, header.distinct, header.original_bytes,
                          entry.variant, set);
    }
    // The byte form adds to the lines at most a line feed and a 5-byte prefix length each.
    const std::uint64_t form_limit = header.original_bytes + 6 * std::uint64_t{header.distinct};
    Bytes form;
    return library_decompress(
               static_cast<LibraryStage>(entry.stage), section,
               static_cast<std::size_t>(std::min<std::uint64_t>(form_limit, UINT32_MAX)), form) &&
           front_decode(form, header.distinct, header.original_bytes, set);
}

// The reference order an order section names, as the rank of each distinct line: from the
// lines themselves, except for byte order. `set` may be null for byte order.
std::vector<std::uint32_t> section_ranks(const ArchiveHeader& header, const LineSet* set) {
    const std::uint8_t variant = header.sections[2].variant;
    const auto reference = static_cast<ReferenceOrder>(variant / 2);
    const bool reversed = variant % 2 != 0;
    if (reference != ReferenceOrder::byte) return reference_ranks(*set, reference, reversed, true);
    const std::uint32_t d = header.distinct;
    std::vector<std::uint32_t> rank(d);
    for (std::uint32_t k = 0; k < d; ++k)
        rank[k] = reversed ? d - 1 - k : k;
    return rank;
}

// Decodes the order section into x: for each list line its distinct line (uniform model) or
// that line's reference rank (cursor models, whose counts_by_rank are the counts in reference
// order). Without repeated lines every count is 1 in any order, which is what lets the cursor
// models decode beside the set before the reference order is known.
bool decode_order_section(const ArchiveHeader& header, std::span<const std::uint8_t> section,
                          std::span<const std::uint32_t> counts_by_rank,
                          std::span<std::uint32_t> x) {
    const auto& entry = header.sections[2];
    if (entry.stage == 0) return true;  // one line, or one distinct line: all zeros
    SectionDecoder in(section);
    return decode_order(in.decoder, in.stream, static_cast<OrderModel>(entry.stage), counts_by_rank,
                        x);
}

// Turns reference ranks into distinct lines.
void ranks_to_lines(std::span<const std::uint32_t> rank, std::span<std::uint32_t> x) {
    std::vector<std::uint32_t> line_of_rank(rank.size());
    for (std::uint32_t k = 0; k < rank.size(); ++k)
        line_of_rank[rank[k]] = k;
    for (auto& r : x)
        r = line_of_rank[r];
}

// Reads the container and checks that its header describes a list that can exist.
UnpackStatus read_plausible_archive(
    std::span<const std::uint8_t> archive, ArchiveHeader& header,
    std::array<std::span<const std::uint8_t>, kSections>& sections) {
    switch (read_archive(archive, header, sections)) {
        case ContainerStatus::ok:
            break;
        case ContainerStatus::not_an_archive:
            return UnpackStatus::not_an_archive;
        case ContainerStatus::unsupported_version:
            return UnpackStatus::unsupported;
        case ContainerStatus::damaged:
            return UnpackStatus::damaged;
    }
    return plausible(header) ? UnpackStatus::ok : UnpackStatus::damaged;
}

UnpackStatus unpack_checked(std::span<const std::uint8_t> archive, Bytes& list,
                            std::uint64_t limit) {
    ArchiveHeader header;
    std::array<std::span<const std::uint8_t>, kSections> sections;
    if (const UnpackStatus read = read_plausible_archive(archive, header, sections);
        read != UnpackStatus::ok)
        return read;
    if (header.sections[0].stage != 0 && header.sections[0].stage != kStageContextMixing &&
        !library_stages_built())
        return UnpackStatus::unsupported;
    if (header.original_bytes > limit) return UnpackStatus::too_large;
    const std::uint32_t n = header.lines, d = header.distinct;
    const bool final_line_feed = !(header.flags & kFlagBareLastLine);

    LineSet set;
    set.count.assign(d, 1);
    if (d < n) {
        SectionDecoder in(sections[1]);
        if (!decode_counts(in.decoder, in.stream, n, set.count)) return UnpackStatus::damaged;
    }
    // The order is decoded beside the set, on the second core, unless it needs the counts in a
    // reference order that only the set's lines give: repeated lines and a cursor model against
    // an order other than byte order.
    const auto& order = header.sections[2];
    const bool ranked =
        order.stage != 0 && order.stage != static_cast<std::uint8_t>(OrderModel::uniform);
    const bool order_needs_lines =
        ranked && d < n && static_cast<ReferenceOrder>(order.variant / 2) != ReferenceOrder::byte;
    std::vector<std::uint32_t> line_index(n, 0);
    bool set_ok = true, order_ok = true, out_of_memory = false;
    run_both(
        n,
        [&] {
            try {
                set_ok = d == 0 || decode_set_section(header, sections[0], set);
            } catch (const std::bad_alloc&) {
                out_of_memory = true;
            }
        },
        [&] {
            if (order_needs_lines) return;
            try {
                std::vector<std::uint32_t> counts_by_rank = set.count;
                if (ranked && d < n) {
                    const std::vector<std::uint32_t> rank = section_ranks(header, nullptr);
                    for (std::uint32_t k = 0; k < d; ++k)
                        counts_by_rank[rank[k]] = set.count[k];
                }
                order_ok = decode_order_section(header, sections[2], counts_by_rank, line_index);
            } catch (const std::bad_alloc&) {
                out_of_memory = true;
            }
        });
    if (out_of_memory) throw std::bad_alloc();
    if (!set_ok || !order_ok) return UnpackStatus::damaged;
    if (joined_size(set, final_line_feed) != header.original_bytes) return UnpackStatus::damaged;
    if (ranked) {
        const std::vector<std::uint32_t> rank = section_ranks(header, &set);
        if (order_needs_lines) {
            std::vector<std::uint32_t> counts_by_rank(d);
            for (std::uint32_t k = 0; k < d; ++k)
                counts_by_rank[rank[k]] = set.count[k];
            if (!decode_order_section(header, sections[2], counts_by_rank, line_index))
                return UnpackStatus::damaged;
        }
        ranks_to_lines(rank, line_index);
    }
    list = join_list(set, line_index, final_line_feed);
    if (list_checksum(list) != header.original_crc) {
        list.clear();
        return UnpackStatus::damaged;
    }
    return UnpackStatus::ok;
}

}  // namespace

PackStatus pack(std::span<const std::uint8_t> list, Bytes& archive, const PackOptions& options,
                PackBreakdown& breakdown) {
    try {
        return pack_checked(list, archive, options, breakdown);
    } catch (const std::bad_alloc&) {
        return PackStatus::out_of_memory;
    }
}

PackStatus pack(std::span<const std::uint8_t> list, Bytes& archive, const PackOptions& options) {
    PackBreakdown breakdown;
    return pack(list, archive, options, breakdown);
}

UnpackStatus unpack(std::span<const std::uint8_t> archive, Bytes& list, std::uint64_t limit) {
    try {
        return unpack_checked(archive, list, limit);
    } catch (const std::bad_alloc&) {
        list.clear();
        return UnpackStatus::out_of_memory;
    }
}

UnpackStatus describe(std::span<const std::uint8_t> archive, ArchiveInfo& info) {
    ArchiveHeader header;
    std::array<std::span<const std::uint8_t>, kSections> sections;
    if (const UnpackStatus read = read_plausible_archive(archive, header, sections);
        read != UnpackStatus::ok)
        return read;
    info.original_bytes = header.original_bytes;
    info.packed_bytes = archive.size();
    info.lines = header.lines;
    info.distinct = header.distinct;
    info.final_line_feed = !(header.flags & kFlagBareLastLine);
    info.set_stage = header.sections[0].stage;
    info.order_model = header.sections[2].stage;
    info.reference = static_cast<ReferenceOrder>(header.sections[2].variant / 2);
    info.reversed = header.sections[2].variant % 2 != 0;
    info.set_bytes = header.sections[0].bytes;
    info.counts_bytes = header.sections[1].bytes;
    info.order_bytes = header.sections[2].bytes;
    return UnpackStatus::ok;
}

std::string_view set_stage_name(std::uint8_t stage) {
    switch (stage) {
        case kStageContextMixing:
            return "context-mixing";
        case static_cast<std::uint8_t>(LibraryStage::bzip2):
            return "bzip2";
        case static_cast<std::uint8_t>(LibraryStage::xz):
            return "xz";
        case static_cast<std::uint8_t>(LibraryStage::brotli):
            return "brotli";
        case static_cast<std::uint8_t>(LibraryStage::zlib):
            return "zlib";
    }
    return "none";
}

std::string_view order_model_name(std::uint8_t model) {
    switch (static_cast<OrderModel>(model)) {
        case OrderModel::uniform:
            return "uniform";
        case OrderModel::cursor:
            return "cursor";
        case OrderModel::cursor_distance:
            return "cursor-distance";
    }
    return "none";
}

std::string_view reference_order_name(ReferenceOrder order) {
    switch (order) {
        case ReferenceOrder::byte:
            return "byte";
        case ReferenceOrder::dictionary:
            return "dictionary";
        case ReferenceOrder::dictionary_folded:
            return "dictionary-folded";
        case ReferenceOrder::accents_folded:
            return "accents-folded";
    }
    return "none";
}

}  // namespace wordperm
