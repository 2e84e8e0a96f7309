// Which platform family the program runs on.
// Back end: platform/platform_version_linux.cpp; tests/doubles.
#pragma once

#include <cstdint>

namespace quillet {

// The one family the wizard accepts (VER_PLATFORM_WIN32_WINDOWS).
inline constexpr std::uint32_t kAcceptedPlatformId = 1;

class PlatformVersion {
public:
    virtual ~PlatformVersion() = default;
    virtual std::uint32_t PlatformId() = 0;
};

}  // namespace quillet
