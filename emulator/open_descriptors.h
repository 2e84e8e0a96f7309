// How many descriptors this process holds open, for tests that check that
// what a back end opened it also closed.
#pragma once

#include <cstddef>
#include <filesystem>
#include <iterator>

namespace quillet::testing {

inline std::size_t OpenDescriptors() {
    const std::filesystem::directory_iterator open("/proc/self/fd");
    return static_cast<std::size_t>(std::distance(open, std::filesystem::directory_iterator()));
}

}  // namespace quillet::testing
