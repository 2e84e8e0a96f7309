// The user's language on POSIX systems, from the locale environment.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "app/user_language.h"

namespace quillet {

// The Windows language id of a POSIX locale name such as "de_AT.UTF-8" or
// "sr_RS@latin": language and territory give primary language and sublanguage.
// A bare language, or a territory without an id of its own, gives the
// language's default sublanguage ("de" 1031); an unknown language, "C",
// "POSIX" and the empty name give 1033 (US English).
std::uint16_t LanguageIdFromLocale(std::string_view locale);

class PosixUserLanguage : public UserLanguage {
public:
    using Getenv = std::function<const char*(const char*)>;

    // Reads the environment through `getenv`; the process's own by default.
    explicit PosixUserLanguage(Getenv getenv = nullptr);

    // The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty
    // decides, as it does for the C library's message language.
    std::uint16_t UserDefaultLangId() override;

private:
    Getenv getenv_;
};

}  // namespace quillet
