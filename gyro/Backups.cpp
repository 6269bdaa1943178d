#include "Backups.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <tuple>

#include "FileCommit.h"
#include "StateFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kDateDigits = 8;  // YYYYMMDD
constexpr std::size_t kTimeDigits = 6;  // HHMMSS
constexpr int kMaxSequence = 1000;      // backups of one ID within one second

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Reads <ID>-<YYYYMMDD>-<HHMMSS>[-<n>].tcf; false for any other name.
bool ParseName(const std::string& name, BackupEntry& entry, std::string& stamp) {
    static constexpr char kExtension[] = ".tcf";
    const std::size_t extension = sizeof kExtension - 1;
    if (name.size() <= extension || name.compare(name.size() - extension, extension, kExtension))
        return false;
    std::vector<std::string> parts;
    const std::string stem = name.substr(0, name.size() - extension);
    for (std::size_t from = 0;;) {
        const std::size_t dash = stem.find('-', from);
        parts.push_back(stem.substr(from, dash - from));
        if (dash == std::string::npos) break;
        from = dash + 1;
    }
    if (parts.size() != 3 && parts.size() != 4) return false;
    for (const std::string& part : parts) {
        if (!AllDigits(part)) return false;
    }
    if (parts[0].size() > 5 || parts[1].size() != kDateDigits || parts[2].size() != kTimeDigits)
        return false;
    const long id = std::strtol(parts[0].c_str(), nullptr, 10);
    if (id > 0xFFFF) return false;
    int sequence = 1;
    if (parts.size() == 4) {
        if (parts[3].size() > 4) return false;
        sequence = std::atoi(parts[3].c_str());
        if (sequence < 2) return false;
    }
    const std::string& d = parts[1];
    const std::string& t = parts[2];
    entry.gyroId = static_cast<std::uint16_t>(id);
    entry.sequence = sequence;
    entry.time = d.substr(0, 4) + "-" + d.substr(4, 2) + "-" + d.substr(6, 2) + " " +
                 t.substr(0, 2) + ":" + t.substr(2, 2) + ":" + t.substr(4, 2);
    stamp = d + t;
    return true;
}

// "YYYYMMDD-HHMMSS" in local time.
std::string Stamp(std::time_t when) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &when);
#else
    localtime_r(&when, &local);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

std::string BackupName(std::uint16_t id, const std::string& stamp, int sequence) {
    std::string name = std::to_string(id) + "-" + stamp;
    if (sequence > 1) name += "-" + std::to_string(sequence);
    return name + ".tcf";
}

std::vector<BackupEntry> BackupsOf(const std::string& folder, std::uint16_t id) {
    std::vector<BackupEntry> all = ListBackups(folder);
    std::erase_if(all, [id](const BackupEntry& e) { return e.gyroId != id; });
    return all;
}

BackupResult Failure(FileResult file, std::error_code error) {
    BackupResult result;
    result.file = file;
    result.error = error;
    return result;
}

}  // namespace

std::string BackupFolder() {
    const fs::path state = TarvexStateFolder();
    return state.empty() ? std::string() : (state / "backups").string();
}

bool PathInFolder(const std::string& path, const std::string& folder) {
    if (path.empty() || folder.empty()) return false;
    const auto resolved = [](const std::string& utf8) {
        fs::path p(std::u8string(utf8.begin(), utf8.end()));
        std::error_code ec;
        fs::path absolute = fs::absolute(p, ec);
        if (ec) absolute = p;
        fs::path canonical = fs::weakly_canonical(absolute, ec);
        if (ec) canonical = absolute.lexically_normal();
        if (!canonical.has_filename() && canonical.has_parent_path() &&
            canonical != canonical.root_path())
            canonical = canonical.parent_path();  // a trailing separator
        return canonical;
    };
    const fs::path inner = resolved(path);
    const fs::path outer = resolved(folder);
    auto i = inner.begin();
    for (auto o = outer.begin(); o != outer.end(); ++o, ++i) {
        if (i == inner.end()) return false;
#ifdef _WIN32
        std::wstring a = i->wstring(), b = o->wstring();
        for (wchar_t& c : a) c = static_cast<wchar_t>(std::towlower(c));
        for (wchar_t& c : b) c = static_cast<wchar_t>(std::towlower(c));
        if (a != b) return false;
#else
        if (*i != *o) return false;
#endif
    }
    return true;
}

std::vector<BackupEntry> ListBackups(const std::string& folder) {
    struct Found {
        BackupEntry entry;
        std::string stamp;
    };
    std::vector<Found> found;
    std::error_code ec;
    if (folder.empty()) return {};
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        Found f;
        if (!ParseName(it->path().filename().string(), f.entry, f.stamp)) continue;
        f.entry.path = it->path().string();
        found.push_back(std::move(f));
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return std::tie(a.stamp, a.entry.sequence, a.entry.path) >
               std::tie(b.stamp, b.entry.sequence, b.entry.path);
    });
    std::vector<BackupEntry> entries;
    entries.reserve(found.size());
    for (Found& f : found) entries.push_back(std::move(f.entry));
    return entries;
}

BackupResult SaveBackup(const std::string& folder, const ParameterRecord& record,
                        std::time_t when) {
    if (folder.empty())
        return Failure(FileResult::OpenFailed,
                       std::make_error_code(std::errc::no_such_file_or_directory));
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) return Failure(FileResult::OpenFailed, ec);

    const std::uint16_t id = record.gyroId();
    if (const std::vector<BackupEntry> previous = BackupsOf(folder, id); !previous.empty()) {
        ParameterRecord newest{};
        if (LoadSettingsFile(previous.front().path, newest) == FileResult::Ok && newest == record) {
            BackupResult result;
            result.outcome = BackupOutcome::Unchanged;
            result.path = previous.front().path;
            return result;
        }
    }

    const std::string stamp = Stamp(when);
    std::string path;
    for (int sequence = 1;; ++sequence) {
        if (sequence > kMaxSequence)
            return Failure(FileResult::OpenFailed, std::make_error_code(std::errc::file_exists));
        path = (fs::path(folder) / BackupName(id, stamp, sequence)).string();
        if (!fs::exists(fs::symlink_status(path, ec))) break;
    }
    errno = 0;
    const FileResult saved = SaveSettingsFile(path, record);
    if (saved != FileResult::Ok) {
        const int error = saved == FileResult::DiskFull ? ENOSPC : errno;
        return Failure(saved, error != 0 ? std::error_code(error, std::generic_category())
                                         : std::error_code());
    }

    const std::vector<BackupEntry> kept = BackupsOf(folder, id);
    for (std::size_t i = kBackupsKept; i < kept.size(); ++i) {
        // A clock set back can name the new backup older than others; it stays all the same.
        // Only that file goes from the store as well: a removal it refuses leaves an entry
        // that is pruned again at the next save.
        if (kept[i].path != path && fs::remove(kept[i].path, ec)) CommitRemoval(kept[i].path);
    }

    BackupResult result;
    result.outcome = BackupOutcome::Saved;
    result.path = path;
    return result;
}
