// The choice of language set from the user's language id.
#pragma once

#include <cstdint>

namespace quillet {

inline constexpr std::int32_t kEnglishBase = 1000;

// Matches the whole 16-bit id exactly; an id the map does not name gives the
// English set, even where its primary language has a set of its own.
std::int32_t LanguageBaseFor(std::uint16_t languageId);

}  // namespace quillet
