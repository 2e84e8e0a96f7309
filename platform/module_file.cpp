#include "platform/module_file.h"

#include <elf.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <type_traits>

namespace quillet {

namespace {

constexpr bool k64Bit = sizeof(void*) == 8;
using ElfHeader = std::conditional_t<k64Bit, Elf64_Ehdr, Elf32_Ehdr>;
using ProgramHeader = std::conditional_t<k64Bit, Elf64_Phdr, Elf32_Phdr>;
constexpr unsigned char kElfClass = k64Bit ? ELFCLASS64 : ELFCLASS32;
constexpr unsigned char kElfData =
    std::endian::native == std::endian::little ? ELFDATA2LSB : ELFDATA2MSB;

// Copied out, since the bytes carry no alignment.
template <typename T>
T ReadAt(std::string_view bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

}  // namespace

std::string ModuleFileProblem(std::string_view start, std::uint64_t fileSize) {
    start = start.substr(0, std::min<std::uint64_t>(start.size(), fileSize));
    if (start.size() < sizeof(ElfHeader)) {
        return "too short to be a shared module";
    }
    const auto header = ReadAt<ElfHeader>(start, 0);
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) {
        return "not an ELF file";
    }
    if (header.e_ident[EI_CLASS] != kElfClass || header.e_ident[EI_DATA] != kElfData) {
        return "built for another kind of machine";
    }
    if (header.e_type != ET_DYN) {
        return "not a shared module";
    }

    // The program headers, all within the start that was read.
    if (header.e_phentsize != sizeof(ProgramHeader) || header.e_phnum == 0 ||
        header.e_phnum == PN_XNUM) {
        return "no usable program headers";
    }
    const std::uint64_t tableSize = std::uint64_t{header.e_phnum} * sizeof(ProgramHeader);
    if (header.e_phoff > start.size() || tableSize > start.size() - header.e_phoff) {
        return "its program headers lie outside its first " + std::to_string(start.size()) +
               " bytes";
    }

    // Every segment the loader maps must lie inside the file.
    int loadable = 0;
    for (std::uint64_t i = 0; i < header.e_phnum; ++i) {
        const auto segment = ReadAt<ProgramHeader>(
            start, static_cast<std::size_t>(header.e_phoff + i * sizeof(ProgramHeader)));
        if (segment.p_type != PT_LOAD) {
            continue;
        }
        ++loadable;
        if (segment.p_offset > fileSize || segment.p_filesz > fileSize - segment.p_offset) {
            return "cut short: a loadable segment lies past the end of its " +
                   std::to_string(fileSize) + " bytes";
        }
    }
    return loadable > 0 ? std::string() : "no loadable segment";
}

}  // namespace quillet
