// Fuzzes unpack with arbitrary bytes: every input must end in a status, never a crash, a read
// out of bounds (the sanitizers watch) or an allocation beyond what the archive really expands
// to. An input that unpacks must pack back into an archive that unpacks to the same list.
//
// Arbitrary bytes almost never carry a valid CRC-32, which would stop the decoders before they
// start; so when the input is long enough to hold one, its checksum is set right first, and the
// decoders see the damaged sections themselves.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "pack/container.h"
#include "pack/pack.h"

namespace {

using namespace wordperm;

// Lists up to this size: enough for every section's code paths, small enough for many runs.
constexpr std::uint64_t kListLimitBytes = std::uint64_t{1} << 20;

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "unpack_fuzzer: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> archive(data, data + size);
    if (archive.size() >= kHeaderBytes + kTrailerBytes) {
        const std::size_t body = archive.size() - kTrailerBytes;
        const std::uint32_t crc = archive_checksum(std::span(archive).first(body));
        for (int i = 0; i < 4; ++i)
            archive[body + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    std::vector<std::uint8_t> list;
    if (unpack(archive, list, kListLimitBytes) != UnpackStatus::ok) return 0;
    std::vector<std::uint8_t> again, restored;
    require(pack(list, again, PackOptions{false}) == PackStatus::ok,
            "a restored list does not pack");
    require(unpack(again, restored) == UnpackStatus::ok && restored == list,
            "a restored list does not round trip");
    return 0;
}
