// The run, and the statuses and words wordperm gives to what the layers below report.
#include "wordperm/run.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "base/memory_budget.h"
#include "io/program_start.h"
#include "io/standard_streams.h"
#include "perm/permutation_decoder.h"
#include "perm/permutation_encoder.h"
#include "wordperm/startup.h"

namespace wordperm {
namespace {

ExitStatus code_and_commit(Mode mode, char** argv, RunFiles& files, Failure& failure) {
    if (!open_run_files(files, mode, argv[2], argv[3], argv[4], failure)) return failure.status;
    auto ctx = std::make_unique<CoderContext>();
    LoadFailure load;
    if (!prepare_context(*ctx, *files.list, mode, load)) {
        failure = load_failure(load, *files.list);
        return failure.status;
    }
    bool ran;
    if (mode == Mode::encode) {
        BlockWriter sorted_list(*files.out);
        ctx->sorted_list_file = &sorted_list;
        ran = run_coder(*ctx, permutation_encoder, nullptr, *files.code_out);
    } else {
        ran = run_coder(*ctx, permutation_decoder, files.code_in.get(), *files.out);
    }
    if (!ran) {
        failure = run_failure(*ctx, argv[2], argv[4]);
        return failure.status;
    }
    if (!commit_run_outputs(files, failure)) return failure.status;
    return ExitStatus::success;
}

// The help or the version must have reached standard output.
ExitStatus finish_printing() {
    int error_number = 0;
    if (finish_standard_output(error_number)) return ExitStatus::success;
    report_failure({ExitStatus::write_failed, "(stdout)", std::strerror(error_number)});
    return ExitStatus::write_failed;
}

}  // namespace

ExitStatus run_wordperm(int argc, char** argv) {
    if (!start_program("wordperm")) return ExitStatus::write_failed;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return finish_printing();
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("wordperm " WORDPERM_VERSION);
        return finish_printing();
    }
    if (argc < 5) {
        std::fprintf(stderr, "%s\n", kUsage);
        return ExitStatus::usage;
    }
    RunFiles files;
    Failure failure;
    ExitStatus status;
    try {
        status = code_and_commit(mode_of(argv[1]), argv, files, failure);
    } catch (const std::bad_alloc&) {
        failure = {ExitStatus::out_of_memory, argv[2], "out of memory"};
        status = failure.status;
    }
    if (status != ExitStatus::success) {
        discard_outputs(files);
        report_failure(failure);
    }
    return status;
}

Failure load_failure(const LoadFailure& failure, const ByteReader& list) {
    switch (failure.error) {
        case LoadError::read_failed:
            return {ExitStatus::read_failed, list.name(), list.error()};
        case LoadError::too_many_lines:
            return {ExitStatus::list_too_large, list.name(),
                    "more than " + std::to_string(kMaxLines) + " lines"};
        case LoadError::out_of_memory:
        case LoadError::none:
            break;
    }
    if (failure.needed_bytes == 0) return {ExitStatus::out_of_memory, list.name(), "out of memory"};
    return {ExitStatus::out_of_memory, list.name(),
            "out of memory (needs " + std::to_string(mebibytes_rounded_up(failure.needed_bytes)) +
                " MiB, " + std::to_string(failure.available_bytes / (1 << 20)) + " MiB available)"};
}

Failure run_failure(const CoderContext& ctx, const std::string& list, const std::string& code) {
    const RunFailure& failure = ctx.run.failure;
    switch (failure.error) {
        case RunError::read_failed:
            return {ExitStatus::read_failed, failure.file, failure.reason};
        case RunError::write_failed:
            return {ExitStatus::write_failed, failure.file, failure.reason};
        case RunError::out_of_memory:
            return {ExitStatus::out_of_memory, list, "out of memory"};
        case RunError::refused:
        case RunError::none:
            break;
    }
    switch (ctx.refusal) {
        case Refusal::list_out_of_order:
            return {ExitStatus::code_misfit, list,
                    "not a sorted list: line " + std::to_string(ctx.line_out_of_order + 1) +
                        " sorts before line " + std::to_string(ctx.line_out_of_order)};
        case Refusal::code_too_long:
            return {ExitStatus::code_misfit, code,
                    "longer than any code for the " + std::to_string(ctx.table.line_count) +
                        " lines of " + list};
        case Refusal::code_misfit:
        case Refusal::none:
            break;
    }
    return {ExitStatus::code_misfit, code, "does not fit " + list};
}

}  // namespace wordperm
