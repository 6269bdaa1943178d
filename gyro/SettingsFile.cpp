#include "SettingsFile.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <random>

#include "FileCommit.h"

#ifdef _WIN32
#include <windows.h>

#include <iterator>

#include "link/WidePath.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

// Windows: the same promises as below with the system's own calls. Paths arrive as UTF-8
// and reach the system wide, so any character a file name may hold survives.
namespace {

FileResult writeFailure(DWORD error) {
    return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? FileResult::DiskFull
                                                                       : FileResult::WriteFailed;
}

// Shared with every other reader and writer, and with a rename over the file.
HANDLE openForReading(const std::wstring& path) {
    return CreateFileW(path.c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Creates a new file beside target, named .<name>.XXXXXX, open for writing.
HANDLE createTemporary(const std::wstring& target, std::wstring& tempPath) {
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder =
        slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring name = slash == std::wstring::npos ? target : target.substr(slash + 1);
    static constexpr wchar_t kLetters[] =
        L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, std::size(kLetters) - 2);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring suffix(6, L'X');
        for (wchar_t& c : suffix) c = kLetters[pick(random)];
        tempPath = folder + L"." + name + L"." + suffix;
        HANDLE file = CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    SetLastError(ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

FileResult LoadSettingsFile(const std::string& path, ParameterRecord& record) {
    const std::wstring wide = widepath::Wide(path);
    if (wide.empty()) return FileResult::OpenFailed;
    HANDLE file = openForReading(wide);
    if (file == INVALID_HANDLE_VALUE) return FileResult::OpenFailed;
    std::array<std::uint8_t, ParameterRecord::kSize> bytes{};
    std::size_t got = 0;
    bool failed = false;
    while (got < bytes.size()) {
        DWORD n = 0;
        if (!ReadFile(file, bytes.data() + got, static_cast<DWORD>(bytes.size() - got), &n,
                      nullptr)) {
            failed = true;
            break;
        }
        if (n == 0) break;
        got += n;
    }
    CloseHandle(file);
    if (failed) return FileResult::ReadFailed;
    if (got < bytes.size()) return FileResult::ShortFile;
    record.bytes = bytes;
    return FileResult::Ok;
}

FileResult SaveSettingsFile(const std::string& path, const ParameterRecord& record) {
    const std::wstring target = widepath::Wide(path);
    if (target.empty()) return FileResult::OpenFailed;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    // A folder is never replaced; a file kept read-only on purpose is not replaced either,
    // although the folder would allow the rename.
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        return FileResult::OpenFailed;

    std::wstring tempPath;
    HANDLE file = createTemporary(target, tempPath);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? FileResult::DiskFull
                                                                           : FileResult::OpenFailed;
    }
    DWORD error = ERROR_SUCCESS;
    std::size_t done = 0;
    while (error == ERROR_SUCCESS && done < record.bytes.size()) {
        DWORD n = 0;
        if (!WriteFile(file, record.bytes.data() + done,
                       static_cast<DWORD>(record.bytes.size() - done), &n, nullptr))
            error = GetLastError();
        else if (n == 0)
            error = ERROR_DISK_FULL;
        done += n;
    }
    if (error == ERROR_SUCCESS && !FlushFileBuffers(file)) error = GetLastError();
    if (!CloseHandle(file) && error == ERROR_SUCCESS) error = GetLastError();
    if (error == ERROR_SUCCESS) {
        // Kept where the program keeps files beyond the file system (FileCommit.h) before
        // the new file takes the old one's place: refused, the old file stays.
        const FileResult kept = CommitFile(path, record.bytes.data(), record.bytes.size());
        if (kept != FileResult::Ok) {
            DeleteFileW(tempPath.c_str());
            return kept;
        }
    }
    // The new file takes the old one's place in one step: a reader sees the old bytes or
    // the new, never a part.
    if (error == ERROR_SUCCESS && !MoveFileExW(tempPath.c_str(), target.c_str(),
                                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(tempPath.c_str());
        return writeFailure(error);
    }
    return FileResult::Ok;
}

bool SettingsFileExists(const std::string& path) {
    const std::wstring wide = widepath::Wide(path);
    if (wide.empty()) return false;
    HANDLE file = openForReading(wide);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

#else

namespace {

bool isDiskFull(int error) {
#ifdef EDQUOT
    if (error == EDQUOT) return true;
#endif
    return error == ENOSPC;
}

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
    if (error == 0) {
        // Kept where the program keeps files beyond the file system (FileCommit.h) before
        // the new file takes the old one's place: refused, the old file stays.
        const FileResult kept = CommitFile(path, record.bytes.data(), record.bytes.size());
        if (kept != FileResult::Ok) {
            ::unlink(tempPath.c_str());
            return kept;
        }
    }
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
