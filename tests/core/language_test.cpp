// The language map, and the user's locale turned into a language id.

#include <gtest/gtest.h>

#include <map>

#include "app/language_map.h"
#include "platform/user_language_posix.h"

namespace quillet::testing {
namespace {

// Every id of the whole 16-bit range: the ids each set takes, and English
// for all others, so that an id moved to another set, added or lost is seen.
// The primary language alone never decides (sv_FI, es_US and de_BE's
// neighbours stay English).
TEST(LanguageMap, EveryIdChoosesItsSet) {
    std::map<std::uint16_t, std::int32_t> sets = {
        {0x0405, 2000},  {0x0406, 3000},  {0x0407, 4000},  {0x0807, 4000},  {0x0C07, 4000},
        {0x1007, 4000},  {0x1407, 4000},  {0x0413, 5000},  {0x0813, 5000},  {0x040B, 7000},
        {0x040C, 8000},  {0x080C, 8000},  {0x0C0C, 8000},  {0x100C, 8000},  {0x140C, 8000},
        {0x180C, 8000},  {0x040E, 9000},  {0x0410, 10000}, {0x0810, 10000}, {0x0414, 11000},
        {0x0814, 11000}, {0x0416, 12000}, {0x0816, 12000}, {0x0415, 13000}, {0x0419, 14000},
        {0x041D, 15000}};
    for (std::uint16_t spanish = 0x040A; spanish <= 0x500A; spanish += 0x0400) {
        sets[spanish] = 6000;
    }
    for (std::uint32_t id = 0; id <= 0xFFFF; ++id) {
        const auto set = sets.find(static_cast<std::uint16_t>(id));
        ASSERT_EQ(LanguageBaseFor(static_cast<std::uint16_t>(id)),
                  set != sets.end() ? set->second : kEnglishBase)
            << id;
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
