// SPDX-License-Identifier: MIT
// POSIX locale names as Windows locale identifiers: plain text work that
// every system's build carries (Linux names its locales this way).
#include "platform/UserLocale.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace platform {

namespace {

struct LocaleEntry
{
    std::string_view Name; // language_TERRITORY, or a language alone for its main locale
    std::uint32_t Id;
};

// Windows locale identifiers (MS-LCID) of the locales a Linux system names.
// Every Spanish and English territory with an identifier of its own, and the
// main locales of other languages.
constexpr LocaleEntry LocaleTable[] = {
    {"es", 0x0C0A},    {"es_ES", 0x0C0A},  {"es_MX", 0x080A}, {"es_GT", 0x100A}, {"es_CR", 0x140A},
    {"es_PA", 0x180A}, {"es_DO", 0x1C0A},  {"es_VE", 0x200A}, {"es_CO", 0x240A}, {"es_PE", 0x280A},
    {"es_AR", 0x2C0A}, {"es_EC", 0x300A},  {"es_CL", 0x340A}, {"es_UY", 0x380A}, {"es_PY", 0x3C0A},
    {"es_BO", 0x400A}, {"es_SV", 0x440A},  {"es_HN", 0x480A}, {"es_NI", 0x4C0A}, {"es_PR", 0x500A},
    {"es_US", 0x540A}, {"es_419", 0x580A}, {"es_CU", 0x5C0A},

    {"en", 0x0409},    {"en_US", 0x0409},  {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009},
    {"en_NZ", 0x1409}, {"en_IE", 0x1809},  {"en_ZA", 0x1C09}, {"en_JM", 0x2009}, {"en_029", 0x2409},
    {"en_BZ", 0x2809}, {"en_TT", 0x2C09},  {"en_ZW", 0x3009}, {"en_PH", 0x3409}, {"en_HK", 0x3C09},
    {"en_IN", 0x4009}, {"en_MY", 0x4409},  {"en_SG", 0x4809},

    {"ca", 0x0403},    {"ca_ES", 0x0403},  {"eu", 0x042D},    {"eu_ES", 0x042D}, {"gl", 0x0456},
    {"gl_ES", 0x0456}, {"de", 0x0407},     {"de_DE", 0x0407}, {"de_CH", 0x0807}, {"de_AT", 0x0C07},
    {"de_LU", 0x1007}, {"de_LI", 0x1407},  {"fr", 0x040C},    {"fr_FR", 0x040C}, {"fr_BE", 0x080C},
    {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C},  {"fr_LU", 0x140C}, {"fr_MC", 0x180C}, {"it", 0x0410},
    {"it_IT", 0x0410}, {"it_CH", 0x0810},  {"pt", 0x0816},    {"pt_PT", 0x0816}, {"pt_BR", 0x0416},
    {"nl", 0x0413},    {"nl_NL", 0x0413},  {"nl_BE", 0x0813}, {"da", 0x0406},    {"da_DK", 0x0406},
    {"sv", 0x041D},    {"sv_SE", 0x041D},  {"sv_FI", 0x081D}, {"nb", 0x0414},    {"nb_NO", 0x0414},
    {"nn", 0x0814},    {"nn_NO", 0x0814},  {"fi", 0x040B},    {"fi_FI", 0x040B}, {"is", 0x040F},
    {"is_IS", 0x040F}, {"pl", 0x0415},     {"pl_PL", 0x0415}, {"cs", 0x0405},    {"cs_CZ", 0x0405},
    {"sk", 0x041B},    {"sk_SK", 0x041B},  {"hu", 0x040E},    {"hu_HU", 0x040E}, {"ro", 0x0418},
    {"ro_RO", 0x0418}, {"bg", 0x0402},     {"bg_BG", 0x0402}, {"hr", 0x041A},    {"hr_HR", 0x041A},
    {"sl", 0x0424},    {"sl_SI", 0x0424},  {"el", 0x0408},    {"el_GR", 0x0408}, {"tr", 0x041F},
    {"tr_TR", 0x041F}, {"ru", 0x0419},     {"ru_RU", 0x0419}, {"uk", 0x0422},    {"uk_UA", 0x0422},
    {"he", 0x040D},    {"he_IL", 0x040D},  {"ar", 0x0401},    {"ar_SA", 0x0401}, {"ar_EG", 0x0C01},
    {"ja", 0x0411},    {"ja_JP", 0x0411},  {"ko", 0x0412},    {"ko_KR", 0x0412}, {"zh", 0x0804},
    {"zh_CN", 0x0804}, {"zh_TW", 0x0404},  {"zh_HK", 0x0C04}, {"zh_SG", 0x1004},
};

std::uint32_t Lookup(std::string_view name)
{
    const auto entry = std::find_if(std::begin(LocaleTable), std::end(LocaleTable),
                                    [name](const LocaleEntry &e) { return e.Name == name; });
    return entry == std::end(LocaleTable) ? 0 : entry->Id;
}

bool IsAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiLetters(std::string_view text, std::size_t min, std::size_t max)
{
    if (text.size() < min || text.size() > max)
        return false;
    return std::all_of(text.begin(), text.end(), IsAsciiLetter);
}

bool IsTerritory(std::string_view text)
{
    if (IsAsciiLetters(text, 2, 2))
        return true;
    // UN M.49 regions such as 419 (Latin America).
    return text.size() == 3 && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

std::uint32_t LocaleIdFromPosixName(std::string_view name)
{
    // language[_territory][.codeset][@modifier]; the codeset and the
    // modifier do not change the locale identifier.
    if (const auto at = name.find('@'); at != std::string_view::npos)
        name = name.substr(0, at);
    if (const auto dot = name.find('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    std::string_view language = name;
    std::string_view territory;
    if (const auto underscore = name.find('_'); underscore != std::string_view::npos) {
        language = name.substr(0, underscore);
        territory = name.substr(underscore + 1);
        if (!IsTerritory(territory))
            return LocaleEnglishUS;
    }
    if (!IsAsciiLetters(language, 2, 3))
        return LocaleEnglishUS;
    std::string lower(language);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    const std::uint32_t main = Lookup(lower);
    if (main == 0)
        return LocaleEnglishUS;
    if (territory.empty())
        return main;
    std::string full = lower + '_';
    for (const char c : territory)
        full += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    const std::uint32_t id = Lookup(full);
    return id != 0 ? id : LocaleCustomUnspecified;
}

} // namespace platform
