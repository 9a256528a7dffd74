// SPDX-License-Identifier: MIT
#include "localization/ProgramConstants.h"

#include "localization/Constants.h"
#include "localization/FeatureConstants.h"
#include "localization/LocalizationLog.h"

// The resource object of a static library is only linked when something
// refers to it; this does, outside any namespace as the macro requires.
static void InitLocalizationResources()
{
    Q_INIT_RESOURCE(localization);
}

QString ProgramResourceModule()
{
    return QStringLiteral(":/rcdata");
}

TVLang_Constants &ProgramConstants()
{
    static TVLang_Constants *constants = [] {
        InitLocalizationResources();
        auto *map = new TVLang_Constants;
        if (!map->LoadFromResource(ProgramResourceModule(), QStringLiteral("VLANG_CONSTS")))
            qCWarning(lcLocalization) << "the program has no constants block";
        AddFeatureConstants(*map);
        map->TranslateFrom(nullptr);
        return map;
    }();
    return *constants;
}
