// Checks a shared module's file before the dynamic loader maps it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// How much of a module's start ModuleFileProblem needs: its ELF header and
// program headers, which every linker puts right after it.
inline constexpr std::size_t kModuleStartBytes = 64 * 1024;

// Why a module file of `fileSize` bytes, whose first bytes (up to
// kModuleStartBytes) are `start`, cannot be loaded safely; empty when it can.
// It must be an ELF shared object of this machine's class and byte order,
// with its program headers in `start` and every loadable segment inside the
// file: the loader maps a segment past the end of the file all the same, and
// the first access to it ends the process with SIGBUS.
std::string ModuleFileProblem(std::string_view start, std::uint64_t fileSize);

}  // namespace quillet
