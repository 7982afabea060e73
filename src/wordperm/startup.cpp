// Opening, committing and discarding: every step checked, every failure with its status and text.
#include "wordperm/startup.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>

#include "io/directory_locks.h"
#include "io/file_identity.h"
#include "io/output_place.h"
#include "io/standard_streams.h"

namespace wordperm {
namespace {

constexpr const char* kProgram = "wordperm";

// What each argument is to the user, for the messages that name two of them.
struct Roles {
    const char* list;
    const char* out;
    const char* code = "the code file";
};

Roles roles_of(Mode mode) {
    if (mode == Mode::encode) return {"the word file", "the sorted list"};
    return {"the sorted list", "the restored file"};
}

bool refuse_same_file(ExitStatus status, const char* argument, const char* first_role,
                      const char* second_role, Failure& failure) {
    failure = {status, argument,
               std::string(first_role) + " and " + second_role + " are the same file"};
    return false;
}

bool open_input(std::unique_ptr<InputFile>& file, const char* path, ExitStatus status,
                Failure& failure) {
    std::string reason;
    file = InputFile::open(path, reason);
    if (file) return true;
    failure = {status, path, reason};
    return false;
}

bool open_output(std::unique_ptr<OutputFile>& file, const char* path, ExitStatus status,
                 Failure& failure) {
    std::string reason;
    file = OutputFile::open(path, kProgram, reason);
    if (file) return true;
    failure = {status, path, reason};
    return false;
}

bool is_standard_output(const OutputFile* output) {
    return output && same_file(output->previous(), identity_of_descriptor(1));
}

}  // namespace

bool open_run_files(RunFiles& files, Mode mode, const char* list, const char* out, const char* code,
                    Failure& failure) {
    const Roles roles = roles_of(mode);
    // A decode opens the sorted list and the code file while no other run replaces them, so the
    // two are always of one pair.
    const std::string inputs[] = {list, code};
    const DirectoryLocks inputs_locked(std::span(inputs, mode == Mode::decode ? 2 : 0),
                                       DirectoryLocks::Kind::shared);
    if (!open_input(files.list, list, ExitStatus::list_unopened, failure)) return false;

    // Every collision is found before the first output is created, so that a refused run leaves
    // no file behind, not even a temporary one.
    const std::optional<FileIdentity> list_identity = files.list->identity();
    const std::optional<FileIdentity> code_identity = identity_of_path(code);
    const OutputPlace out_place = output_place(out);
    const OutputPlace code_place = output_place(code);
    if (replaces(out_place, list_identity))
        return refuse_same_file(ExitStatus::out_unopened, out, roles.list, roles.out, failure);
    if (mode == Mode::decode && replaces(out_place, code_identity))
        return refuse_same_file(ExitStatus::out_unopened, out, roles.out, roles.code, failure);
    // Read twice, one file (or one pipe) is never a code for itself; /dev/null may be both.
    if (mode == Mode::decode && same_file(code_identity, list_identity) &&
        !list_identity->character_device())
        return refuse_same_file(ExitStatus::code_misfit, code, roles.list, roles.code, failure);
    if (mode == Mode::encode && replaces(code_place, list_identity))
        return refuse_same_file(ExitStatus::code_unopened, code, roles.list, roles.code, failure);
    if (mode == Mode::encode && same_place(out_place, code_place))
        return refuse_same_file(ExitStatus::code_unopened, code, roles.out, roles.code, failure);

    if (!open_output(files.out, out, ExitStatus::out_unopened, failure)) return false;
    if (mode == Mode::encode) {
        if (!open_output(files.code_out, code, ExitStatus::code_unopened, failure)) return false;
    } else if (!open_input(files.code_in, code, ExitStatus::code_unopened, failure)) {
        return false;
    }

    if ((is_standard_output(files.out.get()) || is_standard_output(files.code_out.get())) &&
        !silence_standard_output()) {
        failure = {ExitStatus::write_failed, "/dev/null", std::strerror(errno)};
        return false;
    }
    return true;
}

// The sorted list is replaced before the code file, the order in which a decoder opens them: a
// reader then meets a new file beside an old one only when both its opens fall between the two
// renames, or when they fall on either side of both. In the other order, any reader whose two
// opens overlap the renames at all would.
bool commit_run_outputs(RunFiles& files, Failure& failure) {
    OutputFile* outputs[] = {files.out.get(), files.code_out.get()};
    const std::size_t count = files.code_out ? 2 : 1;
    OutputFile* failed = nullptr;
    if (commit_outputs({outputs, count}, failed)) return true;
    failure = {ExitStatus::write_failed, failed->name(), failed->error()};
    return false;
}

void discard_outputs(RunFiles& files) {
    for (OutputFile* output : {files.out.get(), files.code_out.get()})
        if (output) output->discard();
}

void report_failure(const Failure& failure) {
    std::fprintf(stderr, "wordperm: %s: %s\n", failure.file.c_str(), failure.reason.c_str());
}

}  // namespace wordperm
