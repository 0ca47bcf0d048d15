#include "support/tool_runner.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#if defined(__unix__) || defined(__APPLE__)
#define TOVRIN_TEST_POSIX 1
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#ifndef TOVRIN_EXE
#error "TOVRIN_EXE must name the tool under test"
#endif
#ifndef TOVRIN_TOOL_LAUNCHER
#define TOVRIN_TOOL_LAUNCHER ""
#endif

namespace fixture {

namespace {

std::vector<std::string> launcher() {
    std::vector<std::string> words;
    std::stringstream list(TOVRIN_TOOL_LAUNCHER);
    for (std::string word; std::getline(list, word, ';');) {
        if (!word.empty()) {
            words.push_back(word);
        }
    }
    return words;
}

bool underSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
    return true;
#endif
#endif
    return false;
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path uniqueTempPath(const char* stem) {
    static std::atomic<unsigned> counter{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef TOVRIN_TEST_POSIX
    const long pid = static_cast<long>(getpid());
#else
    const long pid = 0;
#endif
    return std::filesystem::temp_directory_path() /
           (std::string(stem) + "-" + std::to_string(pid) + "-" + std::to_string(now) + "-" +
            std::to_string(counter++));
}

}  // namespace

TempDir::TempDir() : path_(uniqueTempPath("tovrin-test")) { std::filesystem::create_directories(path_); }

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

bool canLimitFileSize() {
#ifdef TOVRIN_TEST_POSIX
    return launcher().empty();
#else
    return false;
#endif
}

bool canLimitProcesses() { return canLimitFileSize() && !underSanitizer(); }

bool canLimitAddressSpace() { return canLimitProcesses(); }

#ifdef TOVRIN_TEST_POSIX

RunResult runTool(const std::vector<std::string>& arguments, const ProcessLimits& limits) {
    TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    std::vector<std::string> command = launcher();
    command.push_back(TOVRIN_EXE);
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : command) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        // Only async-signal-safe calls from here to exec.
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0) {
            _exit(120);
        }
        if (limits.fileSizeBytes) {
            // Past the limit a write then fails with EFBIG instead of killing the process.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{*limits.fileSizeBytes, *limits.fileSizeBytes};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(121);
            }
        }
        if (limits.addressSpaceBytes) {
            const rlimit limit{*limits.addressSpaceBytes, *limits.addressSpaceBytes};
            if (setrlimit(RLIMIT_AS, &limit) != 0) {
                _exit(122);
            }
        }
        execv(argv[0], argv.data());
        _exit(123);
    }

    int waitStatus = 0;
    rusage usage{};
    if (wait4(child, &waitStatus, 0, &usage) != child) {
        throw std::runtime_error("wait4 failed");
    }
    RunResult result;
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    result.peakResidentKiB = usage.ru_maxrss;
    if (WIFEXITED(waitStatus)) {
        result.status = WEXITSTATUS(waitStatus);
    } else if (WIFSIGNALED(waitStatus)) {
        result.status = 1000 + WTERMSIG(waitStatus);  // never a valid exit status
    }
    return result;
}

#else

namespace {

// cmd.exe strips one pair of outer quotes from the whole line, hence the extra pair.
std::string quoted(const std::string& word) { return "\"" + word + "\""; }

}  // namespace

RunResult runTool(const std::vector<std::string>& arguments, const ProcessLimits&) {
    TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");
    std::string line;
    for (const std::string& word : launcher()) {
        line += quoted(word) + " ";
    }
    line += quoted(TOVRIN_EXE);
    for (const std::string& word : arguments) {
        line += " " + quoted(word);
    }
    line += " > " + quoted(outPath) + " 2> " + quoted(errPath);
    const int status = std::system(("\"" + line + "\"").c_str());
    RunResult result;
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    result.status = status & 0xFF;
    return result;
}

#endif

}  // namespace fixture
