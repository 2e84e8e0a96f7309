// Reading "quillet.txt": the model keyword, the printer name and the list of
// image paths.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "config/config_file.h"

namespace quillet {

inline constexpr int kImagePathSlots = 5;
inline constexpr const char* kConfigFileName = "quillet.txt";

// What an accepted file gives the run.
struct Configuration {
    std::string targetPrinter;
    std::array<std::string, kImagePathSlots> imagePaths;
    std::int32_t imagePathCount = 0;
};

// Reads the file at `path` through `files`. None when it cannot be opened,
// its first line is not a known model keyword, or it has fewer than three
// lines.
std::optional<Configuration> ReadConfig(ConfigFiles& files, const std::string& path);

}  // namespace quillet
