// The user's language, as a Windows language id (1033 for US English).
// Back end: platform/user_language_posix.cpp; tests/doubles.
#pragma once

#include <cstdint>

namespace quillet {

class UserLanguage {
public:
    virtual ~UserLanguage() = default;
    virtual std::uint16_t UserDefaultLangId() = 0;
};

}  // namespace quillet
