#include "SettingsFile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <random>

#ifdef _WIN32
#include <cstdio>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

bool isDiskFull(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

}  // namespace

#ifdef _WIN32

// The Windows build keeps the plain stdio reader and writer; the replace-by-rename
// protection is a POSIX matter here.
FileResult LoadSettingsFile(const std::string& path, ParameterRecord& record) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return FileResult::OpenFailed;
    std::array<std::uint8_t, ParameterRecord::kSize> bytes{};
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) return FileResult::ReadFailed;
    if (got < bytes.size()) return FileResult::ShortFile;
    record.bytes = bytes;
    return FileResult::Ok;
}

FileResult SaveSettingsFile(const std::string& path, const ParameterRecord& record) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return FileResult::OpenFailed;
    const std::size_t put = std::fwrite(record.bytes.data(), 1, record.bytes.size(), file);
    const int error = put == record.bytes.size() && std::fflush(file) == 0 ? 0 : errno;
    const bool closed = std::fclose(file) == 0;
    if (error != 0) return isDiskFull(error) ? FileResult::DiskFull : FileResult::WriteFailed;
    return closed ? FileResult::Ok : FileResult::WriteFailed;
}

bool SettingsFileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

#else

namespace {

// Reads until count bytes arrived or the file ended; -1 with errno on an error.
long readFully(int fd, std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::read(fd, buffer + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return static_cast<long>(done);
}

// Writes all bytes; the errno of the failure otherwise (ENOSPC for a write that stopped
// short without one).
int writeFully(int fd, const std::uint8_t* buffer, std::size_t count) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(fd, buffer + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

FileResult writeFailure(int error) {
    return isDiskFull(error) ? FileResult::DiskFull : FileResult::WriteFailed;
}

// A target that is not a regular file (a device, a directory, a pipe) is written in place:
// renaming over it would replace the node itself. Non-blocking, so a pipe nobody reads
// fails instead of hanging.
FileResult writeInPlace(const std::string& path, const ParameterRecord& record) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return isDiskFull(errno) ? FileResult::DiskFull : FileResult::OpenFailed;
    int error = writeFully(fd, record.bytes.data(), record.bytes.size());
    if (::close(fd) != 0 && error == 0) error = errno;
    return error == 0 ? FileResult::Ok : writeFailure(error);
}

// Creates a new file beside target, named .<name>.XXXXXX like mkstemp's, but with the
// permissions an ordinary creation gets (0666 less the umask), or mode when given.
int createTemporary(const std::string& target, std::string& tempPath) {
    const std::size_t slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix(6, 'X');
        for (char& c : suffix) c = kLetters[pick(random)];
        tempPath = folder + "." + name + "." + suffix;
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

void syncFolderOf(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".")
                               : slash == 0               ? std::string("/")
                                                          : target.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

FileResult LoadSettingsFile(const std::string& path, ParameterRecord& record) {
    // Non-blocking: a pipe without a writer reads as empty instead of hanging.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return FileResult::OpenFailed;
    std::array<std::uint8_t, ParameterRecord::kSize> bytes{};
    const long got = readFully(fd, bytes.data(), bytes.size());
    const int error = errno;
    ::close(fd);
    if (got < 0) return isDiskFull(error) ? FileResult::DiskFull : FileResult::ReadFailed;
    if (static_cast<std::size_t>(got) < bytes.size()) return FileResult::ShortFile;
    record.bytes = bytes;
    return FileResult::Ok;
}

FileResult SaveSettingsFile(const std::string& path, const ParameterRecord& record) {
    if (path.empty()) return FileResult::OpenFailed;
    // Through a symbolic link, the file it points to is replaced, not the link.
    std::string target = path;
    struct stat info {};
    const bool exists = ::stat(path.c_str(), &info) == 0;
    if (exists) {
        if (!S_ISREG(info.st_mode)) return writeInPlace(path, record);
        // A file the user may not write (a setup kept read-only on purpose) is not replaced,
        // although the folder would allow the rename.
        if (::access(path.c_str(), W_OK) != 0) return FileResult::OpenFailed;
        if (char* resolved = ::realpath(path.c_str(), nullptr)) {
            target = resolved;
            std::free(resolved);
        }
    }

    std::string tempPath;
    const int fd = createTemporary(target, tempPath);
    if (fd < 0) return isDiskFull(errno) ? FileResult::DiskFull : FileResult::OpenFailed;

    int error = 0;
    // A file that is replaced keeps its permissions.
    if (exists && ::fchmod(fd, info.st_mode & 07777) != 0) error = errno;
    if (error == 0) error = writeFully(fd, record.bytes.data(), record.bytes.size());
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(tempPath.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return writeFailure(error);
    }
    syncFolderOf(target);
    return FileResult::Ok;
}

bool SettingsFileExists(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

#endif

namespace {

// A full disk and an unknown failure read the same for loading and saving; every other
// failure is the operation's own message.
int FailureMessage(FileResult result, int otherwise) noexcept {
    switch (result) {
        case FileResult::Ok:
            return 0;
        case FileResult::DiskFull:
            return 113;
        case FileResult::Unknown:
            return 114;
        default:
            return otherwise;
    }
}

}  // namespace

int LoadFailureMessage(FileResult result) noexcept {
    return FailureMessage(result, 108);
}

int SaveFailureMessage(FileResult result) noexcept {
    return FailureMessage(result, 112);
}
