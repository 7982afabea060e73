// Fuzzes pack then unpack with arbitrary lists: the list must come back byte for byte, packing
// twice must give the same archive, and describe must tell the list's line counts.
//
// The first input byte picks whether the library stages are tried too (they are slow, so only
// one input in four pays for them); the rest is the list.
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
    const PackOptions options{(data[0] & 3) == 0};
    const std::vector<std::uint8_t> list(data + 1, data + size);
    std::vector<std::uint8_t> archive, again, restored;
    require(pack(list, archive, options) == PackStatus::ok, "pack failed");
    require(unpack(archive, restored) == UnpackStatus::ok, "unpack refused a packed list");
    require(restored == list, "the list did not come back byte for byte");
    require(pack(list, again, options) == PackStatus::ok && again == archive,
            "packing twice gave different archives");
    ArchiveInfo info;
    require(describe(archive, info) == UnpackStatus::ok, "describe refused a packed list");
    std::size_t line_feeds = 0;
    for (const std::uint8_t byte : list)
        line_feeds += byte == '\n';
    const std::size_t lines = line_feeds + (!list.empty() && list.back() != '\n' ? 1 : 0);
    require(info.lines == lines && info.original_bytes == list.size() &&
                info.packed_bytes == archive.size(),
            "describe gives the wrong counts");
    return 0;
}
