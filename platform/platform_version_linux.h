// The platform family on Linux.
#pragma once

#include "app/platform_version.h"

namespace quillet {

// The Linux build is the accepted family: the wizard runs here the way it ran
// on the one family it was made for.
class LinuxPlatformVersion : public PlatformVersion {
public:
    std::uint32_t PlatformId() override { return kAcceptedPlatformId; }
};

}  // namespace quillet
