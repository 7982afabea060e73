// wordpack: packs word lists into small archives and unpacks them (see wordpack/file_runs.h).
//
//   wordpack [-d|-t|-l] [-c] [-o FILE] [-f] [-v|-q] [FILE]...
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "io/standard_streams.h"
#include "io/temporary_files.h"
#include "wordpack/command_line.h"
#include "wordpack/exit_status.h"
#include "wordpack/file_runs.h"

using namespace wordperm;

// What was printed on standard output (the help, the version, a listing) must have reached it.
static PackExit finish(PackExit status) {
    int error_number = 0;
    if (finish_standard_output(error_number)) return status;
    report_pack_failure({PackExit::write_failed, "(stdout)", std::strerror(error_number)});
    return status == PackExit::success ? PackExit::write_failed : status;
}

int main(int argc, char** argv) {
    if (!prepare_standard_streams()) {
        report_pack_failure({PackExit::write_failed, "/dev/null", "cannot be opened"});
        return static_cast<int>(PackExit::write_failed);
    }
    const ParsedCommandLine parsed =
        parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
    switch (parsed.action) {
        case ParsedCommandLine::Action::usage_error:
            std::fprintf(stderr, "wordpack: %s (try 'wordpack --help')\n", parsed.error.c_str());
            return static_cast<int>(PackExit::usage);
        case ParsedCommandLine::Action::help:
            std::fputs(kPackHelp, stdout);
            return static_cast<int>(finish(PackExit::success));
        case ParsedCommandLine::Action::version:
            std::puts("wordpack " WORDPERM_VERSION);
            return static_cast<int>(finish(PackExit::success));
        case ParsedCommandLine::Action::run:
            break;
    }
    install_interrupt_cleanup();
    return static_cast<int>(finish(run_files(parsed.options)));
}
