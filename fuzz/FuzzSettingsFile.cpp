// Loads arbitrary bytes as a settings file. Whatever the file holds, the fields stay
// showable, and a file that loaded completely saves and loads back to the same settings.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzChecks.h"
#include "settings/SettingsFile.h"
#include "support/FakeDialogs.h"
#include "support/FakeStatusLog.h"

namespace {

using rq::fuzz::Require;

// One scratch file per process: the loader reads only from a path.
const std::string& ScratchPath() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::atexit([] { std::remove(ScratchPath().c_str()); });
        return std::string(dir != nullptr ? dir : "/tmp") + "/rq4720-fuzz-settings-" +
               std::to_string(getpid()) + ".kxs";
    }();
    return path;
}

void WriteScratch(const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(ScratchPath().c_str(), "wb");
    Require(file != nullptr);
    Require(std::fwrite(data, 1, size, file) == size);
    Require(std::fclose(file) == 0);
}

// Loads the scratch file into `settings`; true when every field was found.
bool Load(rq::ReaderSettings& settings) {
    rq::testing::FakeStatusLog log;
    rq::testing::FakeDialogs dialogs;
    rq::LoadSettingsFile(ScratchPath(), settings, log, dialogs);
    const bool complete = dialogs.shown.empty();
    Require(complete == (log.lines().size() == 2));  // "opened." and "put on all fields."
    return complete;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    WriteScratch(data, size);
    rq::ReaderSettings loaded;
    const bool complete = Load(loaded);
    rq::fuzz::CheckShowable(loaded);
    if (!complete) {
        return 0;
    }

    const rq::SettingsFileBytes saved = rq::FormatSettingsFile(loaded);
    if (saved.refusal) {
        return 0;  // a value no file can hold back unchanged is refused, not written
    }
    WriteScratch(saved.bytes.data(), saved.bytes.size());
    rq::ReaderSettings reloaded;
    Require(Load(reloaded));
    Require(reloaded == loaded);
    return 0;
}
