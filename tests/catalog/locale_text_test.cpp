// From the user's locale to the texts on the screen: the locale environment,
// read by PosixUserLanguage, chooses the language set, and start-up and the
// pages show that set's texts.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <utility>

#include "app/language_map.h"
#include "app/message_catalog.h"
#include "app/upgrade_app.h"
#include "platform/user_language_posix.h"
#include "tests/catalog/catalog_sets.h"
#include "tests/doubles/doubles.h"
#include "tests/doubles/first_pages.h"

namespace quillet::testing {
namespace {

using Environment = std::map<std::string, std::string>;

PosixUserLanguage::Getenv GetenvOf(const Environment& environment) {
    return [&environment](const char* name) -> const char* {
        auto found = environment.find(name);
        return found == environment.end() ? nullptr : found->second.c_str();
    };
}

std::string Catalogue(std::int32_t base, int offset) {
    return MessageCatalog::Builtin().Load(static_cast<std::uint16_t>(base + offset));
}

// Runs start-up for a user with that environment on a refused platform, so
// that it stops after choosing the language and showing offset 7.
struct StartedApp {
    explicit StartedApp(Environment variables)
        : environment(std::move(variables)),
          userLanguage(GetenvOf(environment)),
          app({userLanguage, doubles.platformVersion, doubles.messageBoxes, doubles.spooler,
               doubles.imageFiles, doubles.registry},
              pages) {
        doubles.platformVersion.platformId = kAcceptedPlatformId + 1;
        app.InitInstance();
    }

    std::string Text(int offset) const {
        std::string text;
        app.LoadText(text, offset);
        return text;
    }

    Environment environment;
    PlatformDoubles doubles;
    NoPages pages;
    PosixUserLanguage userLanguage;
    UpgradeApp app;
};

struct LocaleCase {
    const char* locale;
    std::int32_t base;
    const char* configErrorStart;  // how text 1 begins
    const char* welcomeStart;      // how text 131 begins
    const char* testName;
};

void PrintTo(const LocaleCase& c, std::ostream* os) {
    *os << '"' << c.locale << '"';
}

class UserLocale : public ::testing::TestWithParam<LocaleCase> {};

// Start-up chooses the locale's set, shows the refusal from it, and every
// later text comes from it too.
TEST_P(UserLocale, StartUpChoosesItsSetAndShowsItsTexts) {
    const LocaleCase& c = GetParam();
    const StartedApp started(Environment{{"LANG", c.locale}});
    EXPECT_EQ(started.app.LanguageBase, c.base) << c.locale;
    ASSERT_EQ(started.doubles.messageBoxes.shown.size(), 1u) << c.locale;
    EXPECT_EQ(started.doubles.messageBoxes.shown[0].text, Catalogue(c.base, 7)) << c.locale;

    const std::string configError = started.Text(1);
    const std::string welcome = started.Text(131);
    EXPECT_EQ(configError, Catalogue(c.base, 1)) << c.locale;
    EXPECT_EQ(welcome, Catalogue(c.base, 131)) << c.locale;
    EXPECT_TRUE(configError.starts_with(c.configErrorStart)) << c.locale << ": " << configError;
    EXPECT_TRUE(welcome.starts_with(c.welcomeStart)) << c.locale << ": " << welcome;
    EXPECT_NE(configError.find(kConfigFile), std::string::npos) << c.locale;
    EXPECT_NE(welcome.find(kProductName), std::string::npos) << c.locale;
}

constexpr const char* kEnglishError = "Unable to read";
constexpr const char* kEnglishWelcome = "Welcome to the";

INSTANTIATE_TEST_SUITE_P(
    Locales, UserLocale,
    ::testing::Values(
        LocaleCase{"cs_CZ.UTF-8", 2000, "Nelze", "Vítá vás", "cs_CZ_UTF8"},
        LocaleCase{"da_DK", 3000, "Initialiseringsfilen", "Velkommen", "da_DK"},
        LocaleCase{"de_DE.UTF-8", 4000, "Die Initialisierungsdatei", "Willkommen", "de_DE_UTF8"},
        LocaleCase{"de_AT", 4000, "Die Initialisierungsdatei", "Willkommen", "de_AT"},
        LocaleCase{"de_CH.UTF-8", 4000, "Die Initialisierungsdatei", "Willkommen", "de_CH_UTF8"},
        LocaleCase{"nl_BE", 5000, "Het initialisatiebestand", "Welkom", "nl_BE"},
        LocaleCase{"nl_NL", 5000, "Het initialisatiebestand", "Welkom", "nl_NL"},
        LocaleCase{"es_AR", 6000, "No se puede", "Bienvenido", "es_AR"},
        LocaleCase{"es_ES", 6000, "No se puede", "Bienvenido", "es_ES"},
        LocaleCase{"es_MX.UTF-8", 6000, "No se puede", "Bienvenido", "es_MX_UTF8"},
        LocaleCase{"fi_FI", 7000, "Alustustiedostoa", "Tervetuloa", "fi_FI"},
        LocaleCase{"fr_CA", 8000, "Impossible", "Bienvenue", "fr_CA"},
        LocaleCase{"fr_FR", 8000, "Impossible", "Bienvenue", "fr_FR"},
        LocaleCase{"hu_HU", 9000, "Nem sikerült", "Üdvözöljük", "hu_HU"},
        LocaleCase{"it_IT", 10000, "Impossibile", "Benvenuti", "it_IT"},
        LocaleCase{"nb_NO", 11000, "Kan ikke", "Velkommen", "nb_NO"},
        LocaleCase{"nn_NO", 11000, "Kan ikke", "Velkommen", "nn_NO"},
        LocaleCase{"no_NO", 11000, "Kan ikke", "Velkommen", "no_NO"},
        LocaleCase{"pt_BR", 12000, "Não foi possível", "Bem-vindo", "pt_BR"},
        LocaleCase{"pt_PT", 12000, "Não foi possível", "Bem-vindo", "pt_PT"},
        LocaleCase{"pl_PL", 13000, kEnglishError, kEnglishWelcome, "pl_PL"},
        LocaleCase{"ru_RU", 14000, kEnglishError, kEnglishWelcome, "ru_RU"},
        LocaleCase{"sv_SE", 15000, "Det gick inte", "Välkommen", "sv_SE"},
        LocaleCase{"sv_FI", 1000, kEnglishError, kEnglishWelcome, "sv_FI"},
        LocaleCase{"es_US", 1000, kEnglishError, kEnglishWelcome, "es_US"},
        LocaleCase{"en_GB", 1000, kEnglishError, kEnglishWelcome, "en_GB"},
        LocaleCase{"en_US.UTF-8", 1000, kEnglishError, kEnglishWelcome, "en_US_UTF8"},
        LocaleCase{"ja_JP.UTF-8", 1000, kEnglishError, kEnglishWelcome, "ja_JP_UTF8"},
        LocaleCase{"C", 1000, kEnglishError, kEnglishWelcome, "C"},
        LocaleCase{"POSIX", 1000, kEnglishError, kEnglishWelcome, "POSIX"}),
    [](const auto& info) { return std::string(info.param.testName); });

TEST(UserLocaleCoverage, EverySetIsReachedFromSomeLocale) {
    for (const LanguageSet& set : kAllSets) {
        bool reached = false;
        for (const char* locale :
             {"cs_CZ", "da_DK", "de_DE", "nl_NL", "es_ES", "fi_FI", "fr_FR", "hu_HU", "it_IT",
              "nb_NO", "pt_BR", "pl_PL", "ru_RU", "sv_SE", "en_US"}) {
            reached = reached || LanguageBaseFor(LanguageIdFromLocale(locale)) == set.base;
        }
        EXPECT_TRUE(reached) << set.name;
    }
}

}  // namespace
}  // namespace quillet::testing
