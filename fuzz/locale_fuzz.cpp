// The locale environment: the values of LC_ALL, LC_MESSAGES and LANG, one per
// line; those the input does not reach are unset.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/language_map.h"
#include "platform/user_language_posix.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> values;
    for (std::string_view rest(reinterpret_cast<const char*>(data), size);
         values.size() < 3 && !rest.empty();) {
        const std::size_t end = rest.find('\n');
        values.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    quillet::PosixUserLanguage language([&](const char* name) -> const char* {
        const std::size_t i = std::string_view(name) == "LC_ALL"        ? 0
                              : std::string_view(name) == "LC_MESSAGES" ? 1
                                                                        : 2;
        return i < values.size() ? values[i].c_str() : nullptr;
    });
    // Whatever the locale, one of the fifteen language sets is chosen.
    const std::int32_t base = quillet::LanguageBaseFor(language.UserDefaultLangId());
    if (base < 1000 || base > 15000 || base % 1000 != 0) {
        __builtin_trap();
    }
    return 0;
}
