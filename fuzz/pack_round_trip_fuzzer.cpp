// Fuzzes pack then unpack with arbitrary lists: the list must come back byte for byte, packing
// twice must give the same archive, whatever the number of threads, and describe must tell the
// list's line counts.
//
// The first input byte picks the blocks: its low bits the size (from the smallest, so that lists
// of a few kilobytes are cut into several blocks, cut lines and bare last lines among them), its
// high bits the threads; the rest is the list.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pack/pack.h"

namespace {

using namespace wordperm;

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "pack_round_trip_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const PackSettings settings{.block_bytes = kSmallestBlockBytes << (data[0] & 7),
                                .threads = 1u + (data[0] >> 6)};
    const std::vector<std::uint8_t> list(data + 1, data + size);
    std::vector<std::uint8_t> archive, again, restored;
    require(pack(list, archive, settings) == PackStatus::ok, "pack failed");
    require(unpack(archive, restored, {.threads = settings.threads}) == UnpackStatus::ok,
            "unpack refused a packed list");
    require(restored == list, "the list did not come back byte for byte");
    require(pack(list, again, {.block_bytes = settings.block_bytes}) == PackStatus::ok &&
                again == archive,
            "packing twice gave different archives");
    ArchiveInfo info;
    require(describe(archive, info) == UnpackStatus::ok, "describe refused a packed list");
    std::uint64_t lines = 0;
    for (const BlockInfo& block : info.blocks) {
        require(block.header.list_bytes <= settings.block_bytes, "a block exceeds its size");
        lines += block.header.lines;
    }
    std::size_t line_feeds = 0;
    for (const std::uint8_t byte : list)
        line_feeds += byte == '\n';
    require(lines >= line_feeds && info.list_bytes == list.size() &&
                info.archive_bytes == archive.size(),
            "describe gives the wrong counts");
    return 0;
}
