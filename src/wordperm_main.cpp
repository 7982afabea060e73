// wordperm: sorts a word list and codes the order it came in, or restores that order.
//
//   wordperm d <word file> <sorted list> <code file>     encode
//   wordperm x <sorted list> <restored file> <code file> decode (any mode but d)
//   wordperm --help | --version
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "driver/run_loop.h"
#include "driver/startup.h"
#include "io/standard_streams.h"
#include "io/temporary_files.h"
#include "perm/permutation_decoder.h"
#include "perm/permutation_encoder.h"

using namespace wordperm;

static ExitStatus run(Mode mode, char** argv, RunFiles& files, Failure& failure) {
    if (!open_run_files(files, mode, argv[2], argv[3], argv[4], failure)) return failure.status;
    auto ctx = std::make_unique<CoderContext>();
    if (!prepare_context(*ctx, *files.list, mode, failure)) return failure.status;

    bool ran;
    if (mode == Mode::encode) {
        BlockWriter sorted_list(*files.out);
        ctx->sorted_list_file = &sorted_list;
        ran = run_coder(*ctx, permutation_encoder, nullptr, *files.code_out);
    } else {
        ran = run_coder(*ctx, permutation_decoder, files.code_in.get(), *files.out);
    }
    if (!ran) {
        failure = ctx->run.failure;
        if (failure.status == ExitStatus::code_misfit)
            failure = refusal_failure(*ctx, argv[2], argv[4]);
        if (failure.status == ExitStatus::out_of_memory)
            failure = {failure.status, argv[2], "out of memory"};
        return failure.status;
    }
    if (!commit_run_outputs(files, failure)) return failure.status;
    return ExitStatus::success;
}

// The help or the version must have reached standard output.
static ExitStatus finish_printing() {
    int error_number = 0;
    if (finish_standard_output(error_number)) return ExitStatus::success;
    report_failure({ExitStatus::write_failed, "(stdout)", std::strerror(error_number)});
    return ExitStatus::write_failed;
}

int main(int argc, char** argv) {
    if (!prepare_standard_streams()) {
        report_failure({ExitStatus::write_failed, "/dev/null", std::strerror(errno)});
        return static_cast<int>(ExitStatus::write_failed);
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return static_cast<int>(finish_printing());
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("wordperm " WORDPERM_VERSION);
        return static_cast<int>(finish_printing());
    }
    if (argc < 5) {
        std::fprintf(stderr, "%s\n", kUsage);
        return static_cast<int>(ExitStatus::usage);
    }
    install_interrupt_cleanup();
    RunFiles files;
    Failure failure;
    ExitStatus status;
    try {
        status = run(mode_of(argv[1]), argv, files, failure);
    } catch (const std::bad_alloc&) {
        failure = {ExitStatus::out_of_memory, argv[2], "out of memory"};
        status = failure.status;
    }
    if (status != ExitStatus::success) {
        discard_outputs(files);
        report_failure(failure);
    }
    return static_cast<int>(status);
}
