#pragma once

// Runs the built tovrin executable as a separate process and reports what a
// user would see: standard output, standard error and the exit status.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace fixture {

struct ProcessLimits {
    std::optional<std::uint64_t> fileSizeBytes;     // RLIMIT_FSIZE, with SIGXFSZ ignored
    std::optional<std::uint64_t> addressSpaceBytes;  // RLIMIT_AS
};

inline ProcessLimits fileSizeLimit(std::uint64_t bytes) {
    ProcessLimits limits;
    limits.fileSizeBytes = bytes;
    return limits;
}

inline ProcessLimits addressSpaceLimit(std::uint64_t bytes) {
    ProcessLimits limits;
    limits.addressSpaceBytes = bytes;
    return limits;
}

struct RunResult {
    std::string out;
    std::string err;
    int status = -1000;             // exit status as the shell sees it (0..255)
    long peakResidentKiB = -1;      // where the platform reports it, else -1
};

RunResult runTool(const std::vector<std::string>& arguments, const ProcessLimits& limits = {});

// Whether runTool can apply a file-size limit here: POSIX only, emulators and
// sanitizers included, since the tool meets the limit the same way under both.
bool canLimitFileSize();
// Whether it can also limit address space and report memory: not under a
// sanitizer or an emulator, whose own memory would be counted.
bool canLimitProcesses();
bool canLimitAddressSpace();

// A device on which every write fails as on a full disk, where the system has one.
std::optional<std::string> fullDevice();

// A fresh folder under the system's temporary folder, removed with all it
// holds when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

}  // namespace fixture
