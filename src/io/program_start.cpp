#include "io/program_start.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/standard_streams.h"
#include "io/temporary_files.h"

namespace wordperm {

bool start_program(const char* program) {
    if (!prepare_standard_streams()) {
        std::fprintf(stderr, "%s: /dev/null: %s\n", program, std::strerror(errno));
        return false;
    }
    install_interrupt_cleanup();
    return true;
}

}  // namespace wordperm
