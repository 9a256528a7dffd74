// SPDX-License-Identifier: MIT
#pragma once

#include "localization/LanguageController.h"
#include "localization/VLangStorage.h"
#include "vcl/Component.h"

#include <QByteArray>
#include <QStringList>

// The main window's language controller is the engine's own. It is named in
// namespace shell because the window's header declares it there.
namespace shell {

class TVLanguageController : public ::TVLanguageController
{
    Q_OBJECT

public:
    using ::TVLanguageController::TVLanguageController;
};

} // namespace shell

// The main window's translation storage is the engine's own, named in
// namespace shell for the same reason.
namespace shell {

class TVLTranslationsStorage : public ::TVLTranslationsStorage
{
    Q_OBJECT

public:
    using ::TVLTranslationsStorage::TVLTranslationsStorage;
};

} // namespace shell
