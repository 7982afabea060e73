// Opening, preparing and closing: every step checked, every failure with its status and text.
#include "driver/startup.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace wordperm {
namespace {

int open_for_reading(const char* path) { return ::open(path, O_RDONLY | O_CLOEXEC); }

int open_for_writing(const char* path) {
    return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

}  // namespace

bool open_run_files(RunFiles& files, Mode mode, const char* list, const char* out,
                    const char* code, Failure& failure) {
    int descriptor = open_for_reading(list);
    if (descriptor < 0) {
        failure = {ExitStatus::list_unopened, list, std::strerror(errno)};
        return false;
    }
    files.list = std::make_unique<InputFile>(descriptor, list);

    descriptor = open_for_writing(out);
    if (descriptor < 0) {
        failure = {ExitStatus::out_unopened, out, std::strerror(errno)};
        return false;
    }
    files.out = std::make_unique<OutputFile>(descriptor, out);

    descriptor = mode == Mode::encode ? open_for_writing(code) : open_for_reading(code);
    if (descriptor < 0) {
        failure = {ExitStatus::code_unopened, code, std::strerror(errno)};
        return false;
    }
    if (mode == Mode::encode)
        files.code_out = std::make_unique<OutputFile>(descriptor, code);
    else
        files.code_in = std::make_unique<InputFile>(descriptor, code);
    return true;
}

bool prepare_context(CoderContext& ctx, ByteReader& list, Mode mode, Failure& failure) {
    if (!load_word_table(ctx.table, list, failure)) return false;
    try {
        const std::uint32_t n = ctx.table.line_count;
        tree_build(ctx.tree, n);
        if (mode == Mode::encode) {
            ctx.permutation_storage =
                std::make_unique_for_overwrite<std::uint32_t[]>(2 * std::size_t{n});
            ctx.perm = ctx.permutation_storage.get();
            ctx.inverse = ctx.perm + n;
            for (std::uint32_t i = 0; i < n; ++i) ctx.perm[i] = i;
        }
    } catch (const std::bad_alloc&) {
        failure = {ExitStatus::out_of_memory, list.name(), "out of memory"};
        return false;
    }
    return true;
}

bool close_outputs(RunFiles& files, Failure& failure) {
    for (OutputFile* output : {files.out.get(), files.code_out.get()}) {
        if (output && !output->close()) {
            failure = {ExitStatus::write_failed, output->name(), output->error()};
            return false;
        }
    }
    return true;
}

void report_failure(const Failure& failure) {
    std::fprintf(stderr, "wordperm: %s: %s\n", failure.file.c_str(), failure.reason.c_str());
}

}  // namespace wordperm
