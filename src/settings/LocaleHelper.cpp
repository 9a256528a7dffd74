// SPDX-License-Identifier: MIT
#include "settings/LocaleHelper.h"

#include "platform/UserLocale.h"

#include <QByteArray>

#include <string_view>

namespace LocaleHelper {

static_assert(LocaleEnglishUS == platform::LocaleEnglishUS);
static_assert(LocaleCustomUnspecified == platform::LocaleCustomUnspecified);

quint32 LocaleIdFromName(const QString &ALocaleName)
{
    // Characters outside Latin-1 become "?", which no part of a name accepts.
    const QByteArray name = ALocaleName.toLatin1();
    return platform::LocaleIdFromPosixName(std::string_view(name.constData(), std::size_t(name.size())));
}

quint32 UserLocaleId()
{
    return platform::UserLocaleId();
}

int DefaultLanguageIndex(quint32 ALocaleId)
{
    return ALocaleId == LocaleSpanishModern ? 0 : 1;
}

} // namespace LocaleHelper
