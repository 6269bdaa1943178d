// Settings files of any length and content: a file of fewer than 85 bytes is refused and
// leaves the record alone; any longer one gives exactly its first 85 bytes; and what is
// loaded saves and loads back byte for byte.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzCheck.h"
#include "gyro/SettingsFile.h"

namespace {

// A folder of its own for the run, removed at exit. Kept in static storage that outlives
// the exit handler.
char folder[4096];

void RemoveFolder() {
    const std::string base(folder);
    std::remove((base + "/in.tcf").c_str());
    std::remove((base + "/out.tcf").c_str());
    rmdir(base.c_str());
}

std::string Folder() {
    if (folder[0] == '\0') {
        const char* tmp = std::getenv("TMPDIR");
        const std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") +
                                    "/tarvex-fuzz-settings-XXXXXX";
        if (pattern.size() >= sizeof folder) std::abort();
        pattern.copy(folder, pattern.size());
        if (mkdtemp(folder) == nullptr) std::abort();
        std::atexit(RemoveFolder);
    }
    return folder;
}

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string in = Folder() + "/in.tcf";
    const std::string out = Folder() + "/out.tcf";
    WriteFile(in, data, size);

    ParameterRecord record{};
    record.bytes.fill(0x5A);
    const ParameterRecord before = record;
    const FileResult loaded = LoadSettingsFile(in, record);
    if (size < ParameterRecord::kSize) {
        FUZZ_CHECK(loaded == FileResult::ShortFile);
        FUZZ_CHECK(record == before);
        FUZZ_CHECK(LoadFailureMessage(loaded) != 0);
        return 0;
    }
    FUZZ_CHECK(loaded == FileResult::Ok);
    FUZZ_CHECK(LoadFailureMessage(loaded) == 0);
    for (std::size_t i = 0; i < ParameterRecord::kSize; ++i) FUZZ_CHECK(record.bytes[i] == data[i]);

    FUZZ_CHECK(SaveSettingsFile(out, record) == FileResult::Ok);
    ParameterRecord again{};
    FUZZ_CHECK(LoadSettingsFile(out, again) == FileResult::Ok);
    FUZZ_CHECK(again == record);
    return 0;
}
