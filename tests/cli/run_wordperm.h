// Runs a built program (wordperm unless told otherwise) as the tests' shell would, with its
// standard output on a pipe, closed, on a pipe nobody reads or appended to a file, limits set, or
// as an unprivileged user; and looks at the files it leaves in a scratch directory, and makes the
// word files it runs on.
//
// A run as user nobody (when the tests run as root) takes a copy of the program in a directory
// of its own that nobody can reach, since the build tree may sit where nobody cannot (root's
// home, any mktemp -d, both mode 700). A test with such runs first asks
// unprivileged_runs_possible, and skips with its reason when they are not.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace wordperm::testing {

enum class StandardOutput {
    pipe,            // read by the test: CliResult::out
    closed,          // `>&-`
    broken_pipe,     // a pipe whose reader has already gone
    append_to_file,  // `>> Launch::out_file`
};

struct Launch {
    std::vector<std::string> args{};
    std::string binary = WORDPERM_BINARY;  // the program to run
    StandardOutput out = StandardOutput::pipe;
    std::string out_file{};                // for StandardOutput::append_to_file
    std::string stdin_file = "/dev/null";  // standard input
    bool unprivileged = false;  // as user nobody, from a copy nobody can reach, when run as root
    std::uint64_t file_size_limit = 0;           // RLIMIT_FSIZE in bytes, 0 for none
    std::uint64_t address_space_limit = 0;       // RLIMIT_AS in bytes, 0 for none
    std::function<void(pid_t)> while_running{};  // called with the process id once it started
};

struct CliResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;  // standard output, when on a pipe
    std::string err;  // standard error
};

inline constexpr uid_t kNobody = 65534;
inline constexpr int kMostMillisecondsOfOneRun = 60'000;

[[noreturn]] inline void start_child(const Launch& launch, bool as_nobody, int out_pipe_end,
                                     int err_pipe_end) {
    // The run must see the dispositions and mask a shell gives a foreground command.
    for (int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
        ::signal(signal_number, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    if (launch.stdin_file.empty()) {
        ::close(0);
    } else {
        ::dup2(::open(launch.stdin_file.c_str(), O_RDONLY), 0);
    }
    ::dup2(err_pipe_end, 2);
    if (launch.out == StandardOutput::append_to_file) {
        const int file = ::open(launch.out_file.c_str(), O_WRONLY | O_APPEND);
        ::dup2(file, 1);
    } else if (launch.out == StandardOutput::closed) {
        ::close(1);
    } else {
        ::dup2(out_pipe_end, 1);
    }
    for (int descriptor = 3; descriptor < 1024; ++descriptor)
        ::close(descriptor);

    // The arguments are made before the limits: an address-space limit below what this test
    // process already holds would make any allocation after it fail.
    std::string binary = launch.binary;
    std::vector<std::string> copies = launch.args;
    std::vector<char*> argv{binary.data()};
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    auto limit = [](int resource, std::uint64_t bytes) {
        const struct rlimit value = {bytes, bytes};
        ::setrlimit(resource, &value);
    };
    if (launch.file_size_limit) limit(RLIMIT_FSIZE, launch.file_size_limit);
    if (launch.address_space_limit) limit(RLIMIT_AS, launch.address_space_limit);
    if (as_nobody &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(126);

    ::execv(binary.c_str(), argv.data());
    ::_exit(127);
}

// Runs `launch.binary` as `launch` says, as user nobody when `as_nobody`.
inline CliResult run_launch(const Launch& launch, bool as_nobody) {
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe(out_pipe) != 0 || ::pipe(err_pipe) != 0) return {};
    if (launch.out == StandardOutput::broken_pipe) {
        ::close(out_pipe[0]);
        out_pipe[0] = -1;
    }
    const pid_t child = ::fork();
    if (child == 0) start_child(launch, as_nobody, out_pipe[1], err_pipe[1]);
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    if (launch.while_running) launch.while_running(child);

    // A run that hangs (a thread left waiting on freed memory has been seen to) is ended, and
    // shows as killed.
    CliResult result;
    struct pollfd streams[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    std::string* texts[2] = {&result.out, &result.err};
    while (streams[0].fd >= 0 || streams[1].fd >= 0) {
        if (::poll(streams, 2, kMostMillisecondsOfOneRun) == 0) ::kill(child, SIGKILL);
        for (int i = 0; i < 2; ++i) {
            if (streams[i].fd < 0 || streams[i].revents == 0) continue;
            char buffer[65536];
            const ssize_t got = ::read(streams[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(streams[i].fd);
                streams[i].fd = -1;
            }
        }
    }
    int raw = 0;
    ::waitpid(child, &raw, 0);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return result;
}

// Copies of the programs that user nobody can run, each in a directory of its own that every
// user may enter; removed when the test process ends.
class CopiesForNobody {
  public:
    ~CopiesForNobody() {
        for (const std::string& directory : directories_)
            std::filesystem::remove_all(directory);
    }

    // The copy of `binary`, made on first use; empty when none could be made.
    const std::string& of(const std::string& binary) {
        auto [entry, added] = copies_.try_emplace(binary);
        if (added) entry->second = make_copy(binary);
        return entry->second;
    }

  private:
    std::string make_copy(const std::string& binary) {
        namespace fs = std::filesystem;
        std::error_code error;
        for (const fs::path& base : {fs::temp_directory_path(error), fs::path("/tmp"),
                                     fs::path("/var/tmp"), fs::path("/dev/shm")}) {
            std::string directory = base / "wordperm-nobody-XXXXXX";
            if (base.empty() || ::mkdtemp(directory.data()) == nullptr) continue;
            directories_.push_back(directory);
            const fs::path copy = fs::path(directory) / fs::path(binary).filename();
            error.clear();
            fs::permissions(directory, fs::perms(0755), error);
            if (!error) fs::copy_file(binary, copy, error);
            if (!error) fs::permissions(copy, fs::perms(0755), error);
            if (!error) return copy;
        }
        return {};
    }

    std::map<std::string, std::string> copies_;  // program -> its copy
    std::vector<std::string> directories_;       // made for copies, to be removed
};

inline CopiesForNobody copies_for_nobody;

inline CliResult run_wordperm(const Launch& launch) {
    if (!launch.unprivileged || ::geteuid() != 0) return run_launch(launch, false);
    Launch copied = launch;
    copied.binary = copies_for_nobody.of(launch.binary);
    if (copied.binary.empty()) return {};
    return run_launch(copied, true);
}

// True when runs as an unprivileged user can be tested here: the tests run without privileges
// already, or as root with a copy of the program that user nobody runs, and nobody can reach
// `directory`. Otherwise `why` says what is missing.
inline bool unprivileged_runs_possible(const std::string& directory, std::string& why) {
    if (::geteuid() != 0) return true;
    if (run_wordperm({.args = {"--version"}, .unprivileged = true}).status != 0) {
        why = "user nobody cannot run a copy of " + std::string(WORDPERM_BINARY);
        return false;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped =
            ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
        ::_exit(dropped && ::access(directory.c_str(), X_OK) == 0 ? 0 : 1);
    }
    int raw = 0;
    ::waitpid(child, &raw, 0);
    if (WIFEXITED(raw) && WEXITSTATUS(raw) == 0) return true;
    why = "user nobody cannot reach " + directory;
    return false;
}

inline CliResult run_cli(const std::vector<std::string>& args) {
    return run_wordperm({.args = args});
}

// A fresh directory per test, removed afterwards.
class ScratchDirectory {
  public:
    ScratchDirectory() {
        std::string pattern = std::filesystem::temp_directory_path() / "wordperm-test-XXXXXX";
        path_ = ::mkdtemp(pattern.data());
    }
    ~ScratchDirectory() {
        // Directories a test made read-only must be opened up before their files can go.
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path_))
            if (entry.is_directory() && !entry.is_symlink())
                std::filesystem::permissions(entry, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(path_);
    }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// The names in a directory, sorted.
inline std::vector<std::string> names_in(const ScratchDirectory& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

inline void write_file(const std::string& path, const std::string& contents) {
    std::ofstream(path, std::ios::binary) << contents;
}

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The words w0 to w(n - 1), each followed by `filler` x's, shuffled by a step of 7919 (a prime,
// so every n it does not divide gives each word once).
inline std::string numbered_words(int n, std::size_t filler = 0) {
    std::string words;
    for (int i = 0; i < n; ++i)
        words +=
            "w" + std::to_string(static_cast<long>(i) * 7919 % n) + std::string(filler, 'x') + "\n";
    return words;
}

// What a directory holds, closely enough to see any change a run could make: each entry's type,
// permission bits, inode, size and modification time, a link's target and a small file's bytes.
struct EntryState {
    mode_t mode;
    ino_t inode;
    off_t size;
    std::int64_t modified_ns;
    std::string link_target;
    std::string contents;  // files of at most 1 MiB
    bool operator==(const EntryState&) const = default;
};

using DirectoryState = std::map<std::string, EntryState>;

inline DirectoryState state_of(const std::filesystem::path& directory) {
    DirectoryState state;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(directory)) {
        struct stat status;
        if (::lstat(entry.path().c_str(), &status) != 0) continue;
        EntryState& item = state[entry.path().lexically_relative(directory).string()];
        item = {status.st_mode,
                status.st_ino,
                status.st_size,
                status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec,
                "",
                ""};
        if (S_ISLNK(status.st_mode)) item.link_target = std::filesystem::read_symlink(entry);
        if (S_ISREG(status.st_mode) && status.st_size <= (1 << 20))
            item.contents = read_file(entry.path());
    }
    return state;
}

// The names in `after` that `before` lacks, and those of `before` that differ or are gone.
inline std::vector<std::string> changes_between(const DirectoryState& before,
                                                const DirectoryState& after) {
    std::vector<std::string> changed;
    for (const auto& [name, item] : after)
        if (!before.contains(name) || before.at(name) != item) changed.push_back(name);
    for (const auto& [name, item] : before)
        if (!after.contains(name)) changed.push_back(name + " (gone)");
    return changed;
}

// Waits until `ready` holds, for at most ten seconds.
inline bool wait_for(const std::function<bool()>& ready) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The files in `directory` whose names hold `marker`, such as a program's temporary files.
inline int count_unfinished(const std::filesystem::path& directory, const std::string& marker) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        count += entry.path().filename().string().find(marker) != std::string::npos;
    return count;
}

// True when every file in `directory` whose name holds `marker` may be read and written by its
// owner alone (mode 0600), as a run's temporary files must be while it writes them.
inline bool only_the_owner_may_read(const std::filesystem::path& directory,
                                    const std::string& marker) {
    for (const auto& entry : std::filesystem::directory_iterator(directory))
        if (entry.path().filename().string().find(marker) != std::string::npos &&
            entry.status().permissions() != std::filesystem::perms(0600))
            return false;
    return true;
}

}  // namespace wordperm::testing
