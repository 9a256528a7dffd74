// SPDX-License-Identifier: MIT
#include "SettingsTestUtil.h"

#include "settings/LocaleHelper.h"

namespace {

struct EnvCase
{
    const char *LcAll;
    const char *LcMessages;
    const char *Lang;
    quint32 Expected;
};

class UserLocaleTest : public ::testing::TestWithParam<EnvCase>
{};

std::optional<QByteArray> Value(const char *AText)
{
    return AText ? std::optional<QByteArray>(QByteArray(AText)) : std::nullopt;
}

TEST_P(UserLocaleTest, FirstNonEmptyOfLcAllLcMessagesLangDecides)
{
    const EnvCase c = GetParam();
    ScopedEnv all("LC_ALL", Value(c.LcAll));
    ScopedEnv messages("LC_MESSAGES", Value(c.LcMessages));
    ScopedEnv lang("LANG", Value(c.Lang));
    EXPECT_EQ(LocaleHelper::UserLocaleId(), c.Expected);
}

INSTANTIATE_TEST_SUITE_P(Environment, UserLocaleTest,
                         ::testing::Values(EnvCase{"en_GB.UTF-8", "es_MX.UTF-8", "es_ES.UTF-8", 2057},
                                           EnvCase{"", "es_MX.UTF-8", "en_US.UTF-8", 2058},
                                           EnvCase{nullptr, nullptr, "es_ES.UTF-8", 3082},
                                           EnvCase{"", "", "es_AR.UTF-8", 11274},
                                           EnvCase{nullptr, nullptr, nullptr, 1033},
                                           EnvCase{"C", nullptr, "es_ES.UTF-8", 1033},
                                           EnvCase{nullptr, nullptr, "POSIX", 1033}));

TEST(LocaleIdFromName, MapsPosixNamesToWindowsIdentifiers)
{
    const struct
    {
        const char *Name;
        quint32 Id;
    } cases[] = {
        {"es_ES.UTF-8", 3082}, {"es_ES", 3082},         {"es_ES@euro", 3082},  {"es_ES.ISO-8859-15@euro", 3082},
        {"es", 3082},          {"es_MX.UTF-8", 2058},   {"es_AR", 11274},      {"es_CO", 9226},
        {"es_CL", 13322},      {"es_PE", 10250},        {"es_VE", 8202},       {"es_US", 21514},
        {"es_CU", 23562},      {"es_419", 22538},       {"es_es", 3082},       {"ES_MX", 2058},
        {"es_GQ", 0x1000}, // Spanish, but no identifier of its own
        {"en_US.UTF-8", 1033}, {"en_GB.UTF-8", 2057},   {"en_AU", 3081},       {"en_CA", 4105},
        {"en_IE", 6153},       {"en_IN", 16393},        {"en_NZ", 5129},       {"en_ZA", 7177},
        {"en", 1033},          {"en_DK.UTF-8", 0x1000}, {"de_DE.UTF-8", 1031}, {"de_AT", 3079},
        {"fr_FR", 1036},       {"fr_CA", 3084},         {"it_IT", 1040},       {"pt_BR", 1046},
        {"pt_PT", 2070},       {"ca_ES", 1027},         {"ja_JP.UTF-8", 1041}, {"zh_TW", 1028},
        {"C", 1033},           {"C.UTF-8", 1033},       {"POSIX", 1033},       {"", 1033},
        {"garbage", 1033},     {"xx_YY", 1033},         {"es_", 1033},         {"_ES", 1033},
        {"es_E$", 1033},       {"\xC3\xB1", 1033},
    };
    for (const auto &c : cases)
        EXPECT_EQ(LocaleHelper::LocaleIdFromName(QString::fromUtf8(c.Name)), c.Id) << c.Name;
}

TEST(DefaultLanguageIndex, OnlySpanishModernSortGivesSpanish)
{
    EXPECT_EQ(LocaleHelper::DefaultLanguageIndex(3082), 0);
    for (quint32 other : {1034u, 2058u, 11274u, 1033u, 2057u, 1031u, 0x1000u, 0u})
        EXPECT_EQ(LocaleHelper::DefaultLanguageIndex(other), 1) << other;
}

} // namespace
