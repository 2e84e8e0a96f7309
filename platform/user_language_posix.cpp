#include "platform/user_language_posix.h"

#include <cctype>
#include <cstdlib>
#include <string>

namespace quillet {

namespace {

constexpr std::uint16_t kUsEnglish = 0x0409;

constexpr std::uint16_t MakeLangId(std::uint16_t primary, std::uint16_t sublanguage) {
    return static_cast<std::uint16_t>((sublanguage << 10) | primary);
}

struct LanguageEntry {
    const char* language;   // ISO 639 code as locales write it
    const char* territory;  // ISO 3166 code; "" for the language's default
    std::uint16_t languageId;
};

// Languages first with their default (sublanguage 1, unless noted), then the
// territories that have an id of their own.
constexpr LanguageEntry kLanguages[] = {
    {"cs", "", 0x0405},
    {"da", "", 0x0406},
    {"de", "", 0x0407},
    {"de", "CH", 0x0807},
    {"de", "AT", 0x0C07},
    {"de", "LU", 0x1007},
    {"de", "LI", 0x1407},
    {"nl", "", 0x0413},
    {"nl", "BE", 0x0813},
    // Spanish of Spain is the modern sort, 0x0C0A, as Windows reports it.
    {"es", "", 0x040A},
    {"es", "ES", 0x0C0A},
    {"es", "MX", 0x080A},
    {"es", "GT", 0x100A},
    {"es", "CR", 0x140A},
    {"es", "PA", 0x180A},
    {"es", "DO", 0x1C0A},
    {"es", "VE", 0x200A},
    {"es", "CO", 0x240A},
    {"es", "PE", 0x280A},
    {"es", "AR", 0x2C0A},
    {"es", "EC", 0x300A},
    {"es", "CL", 0x340A},
    {"es", "UY", 0x380A},
    {"es", "PY", 0x3C0A},
    {"es", "BO", 0x400A},
    {"es", "SV", 0x440A},
    {"es", "HN", 0x480A},
    {"es", "NI", 0x4C0A},
    {"es", "PR", 0x500A},
    {"es", "US", 0x540A},
    {"fi", "", 0x040B},
    {"fr", "", 0x040C},
    {"fr", "BE", 0x080C},
    {"fr", "CA", 0x0C0C},
    {"fr", "CH", 0x100C},
    {"fr", "LU", 0x140C},
    {"fr", "MC", 0x180C},
    {"hu", "", 0x040E},
    {"it", "", 0x0410},
    {"it", "CH", 0x0810},
    // Bokmål, Nynorsk, and the older "no" that meant Bokmål.
    {"nb", "", 0x0414},
    {"nn", "", 0x0814},
    {"no", "", 0x0414},
    {"pt", "", 0x0416},
    {"pt", "PT", 0x0816},
    {"pl", "", 0x0415},
    {"ru", "", 0x0419},
    {"sv", "", 0x041D},
    {"sv", "FI", 0x081D},
    {"en", "", 0x0409},
    {"en", "GB", 0x0809},
    {"en", "AU", 0x0C09},
    {"en", "CA", 0x1009},
    {"en", "NZ", 0x1409},
    {"en", "IE", 0x1809},
    {"en", "ZA", 0x1C09},
    // Other languages: their default id, which gives English text.
    {"ar", "", MakeLangId(0x01, 1)},
    {"bg", "", MakeLangId(0x02, 1)},
    {"ca", "", MakeLangId(0x03, 1)},
    {"zh", "", MakeLangId(0x04, 2)},
    {"el", "", MakeLangId(0x08, 1)},
    {"he", "", MakeLangId(0x0D, 1)},
    {"is", "", MakeLangId(0x0F, 1)},
    {"ja", "", MakeLangId(0x11, 1)},
    {"ko", "", MakeLangId(0x12, 1)},
    {"hr", "", MakeLangId(0x1A, 1)},
    {"sk", "", MakeLangId(0x1B, 1)},
    {"tr", "", MakeLangId(0x1F, 1)},
    {"uk", "", MakeLangId(0x22, 1)},
    {"sl", "", MakeLangId(0x24, 1)},
    {"et", "", MakeLangId(0x25, 1)},
    {"lv", "", MakeLangId(0x26, 1)},
    {"lt", "", MakeLangId(0x27, 1)},
};

}  // namespace

std::uint16_t LanguageIdFromLocale(std::string_view locale) {
    // language[_territory][.codeset][@modifier]
    const size_t end = locale.find_first_of(".@");
    const std::string_view name = locale.substr(0, end);
    const size_t separator = name.find_first_of("_-");
    std::string language(name.substr(0, separator));
    std::string territory(separator == std::string_view::npos ? std::string_view()
                                                              : name.substr(separator + 1));
    for (char& c : language) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (char& c : territory) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }

    const LanguageEntry* languageDefault = nullptr;
    for (const LanguageEntry& entry : kLanguages) {
        if (language != entry.language) {
            continue;
        }
        if (territory == entry.territory) {
            return entry.languageId;
        }
        if (entry.territory[0] == '\0' && languageDefault == nullptr) {
            languageDefault = &entry;
        }
    }
    return languageDefault ? languageDefault->languageId : kUsEnglish;
}

PosixUserLanguage::PosixUserLanguage(Getenv getenv) : getenv_(std::move(getenv)) {
    if (!getenv_) {
        getenv_ = [](const char* name) { return std::getenv(name); };
    }
}

std::uint16_t PosixUserLanguage::UserDefaultLangId() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv_(variable);
        if (value != nullptr && value[0] != '\0') {
            return LanguageIdFromLocale(value);
        }
    }
    return kUsEnglish;
}

}  // namespace quillet
