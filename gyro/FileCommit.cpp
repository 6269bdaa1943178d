#include "FileCommit.h"

namespace {

FileCommitHook g_hook = nullptr;

}  // namespace

void SetFileCommitHook(FileCommitHook hook) noexcept {
    g_hook = hook;
}

FileResult CommitFile(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    return g_hook == nullptr ? FileResult::Ok : g_hook(path, bytes, size);
}

FileResult CommitRemoval(const std::string& path) {
    return g_hook == nullptr ? FileResult::Ok : g_hook(path, nullptr, 0);
}
