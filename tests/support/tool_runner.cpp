#include "support/tool_runner.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>

#if defined(__unix__) || defined(__APPLE__)
#define TOVRIN_TEST_POSIX 1
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#elif defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
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

// The words that start the tool: the launcher, if any, then the tool and its arguments.
std::vector<std::string> toolCommand(const std::vector<std::string>& arguments) {
    std::vector<std::string> command = launcher();
    command.push_back(TOVRIN_EXE);
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
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
    const long pid = static_cast<long>(GetCurrentProcessId());
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
    // An emulator inherits the limit and meets it on the tool's behalf.
    return true;
#else
    return false;
#endif
}

bool canLimitProcesses() { return canLimitFileSize() && !underSanitizer() && launcher().empty(); }

bool canLimitAddressSpace() { return canLimitProcesses(); }

std::optional<std::string> fullDevice() {
#ifdef TOVRIN_TEST_POSIX
    if (std::filesystem::exists("/dev/full")) {
        return "/dev/full";
    }
#endif
    // Under wine "/dev/full" reaches the host's device, which is not Windows.
    return std::nullopt;
}

#ifdef TOVRIN_TEST_POSIX

RunResult runTool(const std::vector<std::string>& arguments, const ProcessLimits& limits) {
    TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    std::vector<std::string> command = toolCommand(arguments);
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

#elif defined(_WIN32)

namespace {

// Quotes one argument so that the C runtime's parser gives it back unchanged:
// backslashes are literal unless they precede a double quote, where each one
// must be doubled, and the quote itself escaped.
std::string quotedArgument(const std::string& word) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

struct HandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// A file handle the child inherits as one of its standard streams.
Handle inheritableFile(const std::string& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE file = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("cannot open " + path);
    }
    return Handle(file);
}

}  // namespace

RunResult runTool(const std::vector<std::string>& arguments, const ProcessLimits&) {
    TempDir capture;
    const std::string outPath = capture.file("stdout");
    const std::string errPath = capture.file("stderr");

    std::vector<std::string> command = toolCommand(arguments);
    std::string commandLine = quotedArgument(command.front());
    for (std::size_t i = 1; i < command.size(); ++i) {
        commandLine += ' ';
        commandLine += quotedArgument(command[i]);
    }

    DWORD exitCode = 0;
    {
        const Handle in = inheritableFile("NUL", GENERIC_READ, OPEN_EXISTING);
        const Handle out = inheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
        const Handle err = inheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in.get();
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &process)) {
            throw std::runtime_error("cannot start " + commandLine);
        }
        const Handle child(process.hProcess);
        CloseHandle(process.hThread);
        if (WaitForSingleObject(child.get(), INFINITE) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(child.get(), &exitCode)) {
            throw std::runtime_error("lost track of " + commandLine);
        }
    }
    RunResult result;
    result.out = slurp(outPath);
    result.err = slurp(errPath);
    // Windows keeps all 32 bits: the tool's -1 is every bit set, shown here as a
    // POSIX shell would show it. Codes past 255 (a crash is 0xC0000005) stay
    // apart from every valid status.
    if (exitCode == 0xFFFFFFFF) {
        result.status = 255;
    } else if (exitCode <= 255) {
        result.status = static_cast<int>(exitCode);
    } else {
        result.status = 1000 + static_cast<int>(exitCode & 0xFFFF);
    }
    return result;
}

#else
#error "runTool needs POSIX or Windows processes"
#endif

}  // namespace fixture
