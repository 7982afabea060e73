// Fuzzes the decoder with arbitrary (sorted list, code file) pairs. Every run must end with
// success or code_misfit; a success must write each line of the list exactly once.
//
// Input layout: byte 0 picks the blocks (bits 0-2: code file bytes per read, bits 3-5: output
// bytes per drain, both from kBlockChoices; bit 6: the list is read unsized, in blocks of the
// code file's size), bytes 1-2 give the list's length (big-endian, cut to what follows), then the
// list, then the code file, to the end. Zero in byte 0 is the normal program's way of running.
// A length prefix rather than a separator lets the list hold any byte and either part grow long.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "support/lines.h"

namespace {

using namespace wordperm;
using namespace wordperm::fuzzing;
using namespace wordperm::testing;

constexpr std::size_t kHeaderBytes = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeaderBytes) return 0;
    const std::uint8_t selector = data[0];
    const std::size_t wanted = std::size_t{data[1]} << 8 | data[2];
    std::string_view rest(reinterpret_cast<const char*>(data) + kHeaderBytes, size - kHeaderBytes);
    const std::size_t list_bytes = std::min(wanted, rest.size());
    const std::string_view list = rest.substr(0, list_bytes);
    const std::string_view code = rest.substr(list_bytes);

    Blocks blocks;
    blocks.in_bytes = kBlockChoices[selector & 7];
    blocks.out_bytes = kBlockChoices[selector >> 3 & 7];
    if (selector & 0x40) {
        blocks.list_sized = false;
        blocks.list_read_bytes = blocks.in_bytes;
    }

    const Decoded decoded = decode_in_memory(list, code, blocks);
    if (decoded.status == ExitStatus::code_misfit) return 0;
    require(decoded.status == ExitStatus::success, "decode ended with a status other than 0 or 5");
    // A bare list stands for a word file ending with a line feed: every line is written with
    // one, and the output loses its last. Closing both sides alike makes the lines comparable.
    std::string restored = decoded.restored;
    if (ends_bare(list)) restored += '\n';
    require(!ends_bare(restored), "a list ending with a line feed decoded to a bare last line");
    require(sorted_closed_lines(restored) == sorted_closed_lines(list),
            "decoded output is not a rearrangement of the list's lines");
    return 0;
}
