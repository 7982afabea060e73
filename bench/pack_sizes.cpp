// pack_sizes: what each model makes of a list's sections, and the archive chosen.
//
//   pack_sizes [-LEVEL] FILE...
//
// For each file, packed as one block: the set under the context-mixing model, the counts, the
// order under each model (the cursor models against the reference order chosen; the context
// model 0 where it is not tried), the archive's size, and the times to pack and to unpack it on
// one thread; the unpacked list is checked against the file.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "list/word_table.h"
#include "pack/pack.h"

namespace {

using namespace wordperm;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int report(const char* path, int level) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "pack_sizes: %s: cannot open\n", path);
        return 1;
    }
    const std::vector<std::uint8_t> list((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
    if (list.empty()) return 0;
    LargeArray<std::uint8_t> bytes = make_large_array<std::uint8_t>(list.size() + kTailBytes);
    std::memcpy(bytes.get(), list.data(), list.size());
    PackBreakdown b;
    auto start = std::chrono::steady_clock::now();
    const PackedBlock block = pack_block(std::move(bytes), list.size(), level_choices(level),
                                         /*two_threads=*/false, &b);
    const double block_seconds = seconds_since(start);
    std::vector<std::uint8_t> archive, restored;
    pack(list, archive, {.level = level, .block_bytes = kLargestBlockBytes});
    start = std::chrono::steady_clock::now();
    const UnpackStatus status = unpack(archive, restored, {.memory_limit = 0});
    const double unpack_seconds = seconds_since(start);
    const BlockHeader& h = block.header;
    std::printf("%s: %zu bytes, %llu lines, %llu distinct\n", path, list.size(),
                static_cast<unsigned long long>(h.lines),
                static_cast<unsigned long long>(h.distinct));
    std::printf("  set     %llu (tables 2^%d)\n", static_cast<unsigned long long>(b.set),
                h.sections[0].variant);
    std::printf("  counts  %llu\n", static_cast<unsigned long long>(b.counts));
    std::printf(
        "  order   uniform %llu  cursor %llu  cursor-distance %llu  rewrite %llu  (%s%s)"
        "  context %llu -> %s\n",
        static_cast<unsigned long long>(b.order_uniform),
        static_cast<unsigned long long>(b.order_cursor),
        static_cast<unsigned long long>(b.order_cursor_distance),
        static_cast<unsigned long long>(b.order_rewrite), reference_order_name(b.reference).data(), b.reversed ? ", reversed" : "",
        static_cast<unsigned long long>(b.order_context),
        order_model_name(h.sections[2].stage).data());
    const bool same = status == UnpackStatus::ok && restored == list;
    std::printf("  archive %zu bytes  pack %.2f s  unpack %.2f s  %s\n", archive.size(),
                block_seconds, unpack_seconds, same ? "round trip ok" : "ROUND TRIP FAILED");
    return same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    int level = kDefaultLevel;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] >= '1' && argv[i][1] <= '9' && argv[i][2] == 0)
            level = argv[i][1] - '0';
        else
            status |= report(argv[i], level);
    }
    return status;
}
