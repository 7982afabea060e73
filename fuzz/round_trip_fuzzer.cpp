// Fuzzes encode then decode with arbitrary word files: the restored file must equal the input
// byte for byte, and encoding again, in other block sizes, must give the same sorted list and
// code.
//
// The whole input is the word file; the block sizes of the second encode and of the decode come
// from the input's length, so every size gets used without spending input bytes on it. Along the
// way it checks what the file formats promise: the sorted list holds the input's lines in
// ascending order and ends bare exactly when the input does, the code never ends with 0xFF, and
// the code stays within a few bytes of log2(N!)/8.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "support/lines.h"

namespace {

using namespace wordperm;
using namespace wordperm::fuzzing;
using namespace wordperm::testing;

// What the coder may spend beyond log2(N!) bits: the final flush and a little per symbol.
constexpr double kCodeSlackBytes = 9.0;

void check_sorted_list(std::string_view words, std::string_view sorted) {
    require(ends_bare(sorted) == ends_bare(words),
            "the sorted list ends bare when the word file does not, or the other way round");
    std::vector<std::string> lines = closed_lines(sorted);
    // A bare last line compares equal to every line it is a prefix of, so with one in the input
    // the order is not a total one and only the lines themselves can be checked.
    if (!ends_bare(words))
        require(std::is_sorted(lines.begin(), lines.end()), "the sorted list is out of order");
    std::sort(lines.begin(), lines.end());
    require(lines == sorted_closed_lines(words), "the sorted list does not hold the input's lines");
}

void check_code_size(std::string_view words, std::string_view code) {
    require(code.empty() || static_cast<std::uint8_t>(code.back()) != 0xFF,
            "the code ends with a 0xFF byte");
    const double lines = static_cast<double>(closed_lines(words).size());
    const double least_bytes = std::lgamma(lines + 1.0) / std::log(2.0) / 8.0;
    require(static_cast<double>(code.size()) <= least_bytes + kCodeSlackBytes,
            "the code is far longer than log2(N!)/8 bytes");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The encoder reports its progress on standard output each run; libFuzzer logs to standard
    // error, which stays readable once this is silenced.
    if (!std::freopen("/dev/null", "w", stdout)) report_finding("cannot silence standard output");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view words(reinterpret_cast<const char*>(data), size);

    const Encoded encoded = encode_in_memory(words);
    require(encoded.status == ExitStatus::success, "encode failed");
    check_sorted_list(words, encoded.sorted);
    check_code_size(words, encoded.code);

    Blocks small;
    small.list_read_bytes = kBlockChoices[size % 8];
    small.list_sized = size % 3 != 0;
    small.in_bytes = kBlockChoices[size / 8 % 8];
    small.out_bytes = kBlockChoices[(size + 3) % 8];

    const Decoded decoded = decode_in_memory(encoded.sorted, encoded.code, small);
    require(decoded.status == ExitStatus::success, "decoding the encoder's own output failed");
    require(decoded.restored == words, "the restored file differs from the word file");

    const Encoded again = encode_in_memory(words, small);
    require(again.status == ExitStatus::success, "the second encode failed");
    require(again.sorted == encoded.sorted, "encoding twice gave different sorted lists");
    require(again.code == encoded.code, "encoding twice gave different codes");
    return 0;
}
