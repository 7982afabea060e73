// pack_sizes: what each stage and model makes of a list's sections, and the archive chosen.
//
//   pack_sizes [--no-library] FILE...
//
// For each file: the set under the context-mixing model and each library stage, the counts,
// the order under each model (the cursor models against the reference order chosen, which is
// named with how many lines follow their predecessor in each order), the archive's size, and
// the times to pack and to unpack it; the unpacked list is checked against the file.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "pack/pack.h"

namespace {

using namespace wordperm;

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int report(const char* path, const PackOptions& options) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "pack_sizes: %s: cannot open\n", path);
        return 1;
    }
    const std::vector<std::uint8_t> list((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
    std::vector<std::uint8_t> archive, restored;
    PackBreakdown b;
    auto start = std::chrono::steady_clock::now();
    if (pack(list, archive, options, b) != PackStatus::ok) {
        std::fprintf(stderr, "pack_sizes: %s: pack failed\n", path);
        return 1;
    }
    const double pack_seconds = seconds_since(start);
    start = std::chrono::steady_clock::now();
    const UnpackStatus status = unpack(archive, restored);
    const double unpack_seconds = seconds_since(start);
    ArchiveInfo info;
    describe(archive, info);
    std::printf("%s: %zu bytes, %u lines, %u distinct\n", path, list.size(), info.lines,
                info.distinct);
    std::printf("  set     cm %llu  bzip2 %llu  xz %llu  brotli %llu  zlib %llu  -> %s\n",
                static_cast<unsigned long long>(b.set_model),
                static_cast<unsigned long long>(b.set_library[0]),
                static_cast<unsigned long long>(b.set_library[1]),
                static_cast<unsigned long long>(b.set_library[2]),
                static_cast<unsigned long long>(b.set_library[3]),
                set_stage_name(info.set_stage).data());
    std::printf("  counts  %llu\n", static_cast<unsigned long long>(b.counts));
    std::printf("  steps  ");
    for (int o = 0; o < kReferenceOrders; ++o)
        std::printf(" %s %llu/%llu", reference_order_name(static_cast<ReferenceOrder>(o)).data(),
                    static_cast<unsigned long long>(b.reference_steps[o][0]),
                    static_cast<unsigned long long>(b.reference_steps[o][1]));
    std::printf("\n  order   uniform %llu  cursor %llu  cursor-distance %llu  (%s%s) -> %s\n",
                static_cast<unsigned long long>(b.order_uniform),
                static_cast<unsigned long long>(b.order_cursor),
                static_cast<unsigned long long>(b.order_cursor_distance),
                reference_order_name(b.reference).data(), b.reversed ? ", reversed" : "",
                order_model_name(info.order_model).data());
    const bool same = status == UnpackStatus::ok && restored == list;
    std::printf("  archive %zu bytes  pack %.2f s  unpack %.2f s  %s\n", archive.size(),
                pack_seconds, unpack_seconds, same ? "round trip ok" : "ROUND TRIP FAILED");
    return same ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    PackOptions options;
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--no-library"))
            options.library_stages = false;
        else
            status |= report(argv[i], options);
    }
    return status;
}
