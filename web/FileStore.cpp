// Every file the module writes is kept as its own entry in the browser's storage
// (Module.tarvexStore, web/tarvex-pre.js), committed when it is written: a settings file or
// a backup before it takes its place, so a store that refuses is the save's failure
// (message 135 before a Write, the save failure message for Save); a removed backup by
// removing its entry; the virtual gyro's state after it is written, without waiting.
#include <emscripten.h>

#include <string>
#include <string_view>

#include "gyro/FileCommit.h"
#include "sim/StateFile.h"

namespace {

// 0 kept, 1 failed, 2 the browser's storage is full.
// clang-format off
EM_ASYNC_JS(int, js_store_commit, (const char* path, const unsigned char* bytes, int size), {
    const name = UTF8ToString(path);
    const data = bytes ? HEAPU8.slice(bytes, bytes + size) : null;
    try {
        if (data)
            await Module.tarvexStore.put(name, data);
        else
            await Module.tarvexStore.remove(name);
        return 0;
    } catch (e) {
        console.warn('tarvex: ' + name + ' was not stored:', e);
        return e && e.name === 'QuotaExceededError' ? 2 : 1;
    }
});

// The virtual gyro writes its state from calls that cannot wait (the stream's ticks).
EM_JS(void, js_store_state, (const char* path, const unsigned char* bytes, int size), {
    const name = UTF8ToString(path);
    Module.tarvexStore.put(name, HEAPU8.slice(bytes, bytes + size)).catch(function(e) {
        console.warn('tarvex: ' + name + ' was not stored:', e);
    });
});

// clang-format on

// Only the folders that survive a visit are kept; a file elsewhere (a copy made in /tmp for
// Share Setup) is the module's own for the moment, and saving it needs no wait.
constexpr std::string_view kKeptRoot = "/tarvex/";

FileResult Commit(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
    if (path.compare(0, kKeptRoot.size(), kKeptRoot) != 0) return FileResult::Ok;
    switch (js_store_commit(path.c_str(), bytes, static_cast<int>(size))) {
        case 0:
            return FileResult::Ok;
        case 2:
            return FileResult::DiskFull;
        default:
            return FileResult::WriteFailed;
    }
}

void CommitState(const std::string& path, const ParameterRecord& record) {
    js_store_state(path.c_str(), record.bytes.data(), static_cast<int>(record.bytes.size()));
}

[[maybe_unused]] const bool g_installed = [] {
    SetFileCommitHook(Commit);
    vgyro::SetStateCommitHook(CommitState);
    return true;
}();

}  // namespace
