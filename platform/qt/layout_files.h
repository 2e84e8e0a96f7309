// Data files of the Qt front end, embedded at build time (cmake/EmbedFiles.cmake).
#pragma once

#include <span>

#include "resources/embedded_file.h"

namespace quillet::resources {

// The program icon of resources/icon/.
std::span<const EmbeddedFile> IconFiles();

}  // namespace quillet::resources
