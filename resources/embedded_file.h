// Data files built into the program (see cmake/EmbedFiles.cmake).
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace quillet {

struct EmbeddedFile {
    const char* name;  // the file's base name, e.g. "en.txt"
    const unsigned char* data;
    std::size_t size;

    std::string_view Text() const { return {reinterpret_cast<const char*>(data), size}; }
};

namespace resources {
// The catalogue files of resources/catalog/.
std::span<const EmbeddedFile> CatalogFiles();
// The page layouts of resources/layouts/.
std::span<const EmbeddedFile> LayoutFiles();
}  // namespace resources

}  // namespace quillet
