// Reading "quillet.txt": the model keyword, the printer name and the list of
// image paths.

#include "config/config_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace quillet {

namespace {

class StandardFiles : public ConfigFiles {
public:
    std::FILE* Open(const std::string& path) override { return std::fopen(path.c_str(), "rb"); }
};

constexpr int kLineBufferSize = 1024;  // one read takes at most 1023 bytes
constexpr size_t kListPrefixLength = 5;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// One line as fgets gives it: up to and including the next line feed, at most
// 1023 bytes. False when no byte was left or the read failed.
bool ReadLine(std::FILE* file, char (&buffer)[kLineBufferSize]) {
    return std::fgets(buffer, kLineBufferSize, file) != nullptr;
}

// The text of a line: everything before its first carriage return. Where
// there is none the line feed stays part of the text.
std::string LineText(const char* line) {
    const char* carriageReturn = std::strchr(line, '\r');
    return carriageReturn ? std::string(line, carriageReturn) : std::string(line);
}

}  // namespace

ConfigFiles& StandardConfigFiles() {
    static StandardFiles files;
    return files;
}

std::optional<Configuration> ReadConfig(ConfigFiles& files, const std::string& path) {
    // Bytes arrive as stored, line ends untranslated.
    File file(files.Open(path));
    if (!file) {
        return std::nullopt;
    }
    char line[kLineBufferSize];

    // Line 1: the model keyword, exactly.
    if (!ReadLine(file.get(), line)) {
        return std::nullopt;
    }
    const std::string keyword = LineText(line);
    if (keyword != "K7" && keyword != "J3") {
        return std::nullopt;
    }

    // Line 2: the model's printer name. Line 3: present, not used.
    if (!ReadLine(file.get(), line)) {
        return std::nullopt;
    }
    Configuration config;
    config.targetPrinter = LineText(line);
    if (!ReadLine(file.get(), line)) {
        return std::nullopt;
    }

    // Lines 4 to 8: image paths behind a 5-character prefix. A last line that
    // the end of the file ends instead of a line feed is kept too: dropping it
    // would lose the image path and only fail once the printer is waiting in
    // download mode.
    while (config.imagePathCount < kImagePathSlots && !std::feof(file.get())) {
        if (!ReadLine(file.get(), line)) {
            break;
        }
        const std::string text = LineText(line);
        // A line too short to hold its prefix stores the empty string.
        config.imagePaths[config.imagePathCount] =
            text.size() > kListPrefixLength ? text.substr(kListPrefixLength) : std::string();
        ++config.imagePathCount;
    }
    return config;
}

}  // namespace quillet
