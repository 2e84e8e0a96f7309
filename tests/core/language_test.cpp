// The language map, and the user's locale turned into a language id.

#include <gtest/gtest.h>

#include <map>

#include "app/language_map.h"
#include "platform/user_language_posix.h"

namespace quillet::testing {
namespace {

// One id of each set, the ends of the Spanish range, and the ids people get
// wrong: the primary language alone never decides.
TEST(LanguageMap, SublanguageIdsChooseTheSet) {
    const std::pair<std::uint16_t, std::int32_t> rows[] = {
        {1029, 2000},  {1030, 3000},  {5127, 4000},  {2067, 5000},  {1034, 6000},
        {20490, 6000}, {1035, 7000},  {6156, 8000},  {1038, 9000},  {2064, 10000},
        {2068, 11000}, {2070, 12000}, {1045, 13000}, {1049, 14000}, {1053, 15000},
        {2077, 1000},  {21514, 1000}, {6151, 1000},  {1033, 1000},  {0, 1000}};
    for (const auto& [id, base] : rows) {
        EXPECT_EQ(LanguageBaseFor(id), base) << id;
    }
}

TEST(UserLanguage, LocaleNamesGiveWindowsLanguageIds) {
    const std::pair<const char*, std::uint16_t> rows[] = {
        {"de_AT", 3079},       {"de_AT.UTF-8", 3079}, {"es_MX", 2058},
        {"fr_CA", 3084},       {"pt_BR", 1046},       {"pt_PT", 2070},
        {"nb_NO", 1044},       {"nn_NO", 2068},       {"no_NO", 1044},
        {"sv_FI", 2077},       {"sv_SE.UTF-8", 1053}, {"de", 1031},
        {"de_DE.UTF-8", 1031}, {"de_CH", 2055},       {"de_LU", 4103},
        {"de_LI", 5127},       {"de_BE", 1031},       {"cs_CZ", 1029},
        {"da_DK", 1030},       {"nl_NL", 1043},       {"nl_BE", 2067},
        {"es_ES", 3082},       {"es_AR", 11274},      {"es_PR", 20490},
        {"es_US", 21514},      {"fi_FI", 1035},       {"fr_FR", 1036},
        {"fr_BE", 2060},       {"fr_CH", 4108},       {"fr_LU", 5132},
        {"fr_MC", 6156},       {"hu_HU", 1038},       {"it_IT", 1040},
        {"it_CH", 2064},       {"pl_PL", 1045},       {"ru_RU", 1049},
        {"en_US.UTF-8", 1033}, {"en_GB", 2057},       {"C", 1033},
        {"POSIX", 1033},       {"C.UTF-8", 1033},     {"", 1033},
        {"xx_YY", 1033},       {"sr_RS@latin", 1033}, {"ca_ES@valencia", 1027},
        {"DE_at", 3079},       {"ja_JP.eucJP", 1041},
    };
    for (const auto& [locale, id] : rows) {
        EXPECT_EQ(LanguageIdFromLocale(locale), id) << locale;
    }
}

TEST(UserLanguage, FirstSetVariableDecides) {
    struct Row {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        std::uint16_t id;
    };
    const Row rows[] = {
        {"fr_FR", "de_DE", "it_IT", 1036}, {"", "de_DE", "it_IT", 1031},
        {nullptr, nullptr, "it_IT", 1040}, {nullptr, nullptr, nullptr, 1033},
        {nullptr, "", "", 1033},
    };
    for (const Row& row : rows) {
        PosixUserLanguage language([&](const char* name) -> const char* {
            const std::string variable = name;
            return variable == "LC_ALL"        ? row.lcAll
                   : variable == "LC_MESSAGES" ? row.lcMessages
                   : variable == "LANG"        ? row.lang
                                               : nullptr;
        });
        EXPECT_EQ(language.UserDefaultLangId(), row.id);
    }
}

}  // namespace
}  // namespace quillet::testing
