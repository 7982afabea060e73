#include "wordpack/run.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/program_start.h"
#include "io/standard_streams.h"
#include "wordpack/command_line.h"
#include "wordpack/file_runs.h"

namespace wordperm {
namespace {

// What was printed on standard output (the help, the version, a listing) must have reached it.
PackExit finish(PackExit status) {
    int error_number = 0;
    if (finish_standard_output(error_number)) return status;
    report_pack_failure({PackExit::write_failed, "(stdout)", std::strerror(error_number)});
    return status == PackExit::success ? PackExit::write_failed : status;
}

}  // namespace

PackExit run_wordpack(int argc, char** argv) {
    if (!start_program("wordpack")) return PackExit::write_failed;
    const ParsedCommandLine parsed =
        parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
        case ParsedCommandLine::Action::usage_error:
            std::fprintf(stderr, "wordpack: %s (try 'wordpack --help')\n", parsed.error.c_str());
            return PackExit::usage;
        case ParsedCommandLine::Action::help:
            std::fputs(kPackHelp, stdout);
            return finish(PackExit::success);
        case ParsedCommandLine::Action::version:
            std::puts("wordpack " WORDPERM_VERSION);
            return finish(PackExit::success);
        case ParsedCommandLine::Action::run:
            break;
    }
    return finish(run_files(parsed.options));
}

}  // namespace wordperm
