// SPDX-License-Identifier: MIT
#pragma once

#include "localization/LanguageController.h"
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

// A stand-in that keeps the main window's component tree complete until the
// translation storage exists. It sits in its own namespace so that it can
// never clash with the real class, and keeps the binary block it is given,
// untouched.
namespace shell {

class TVLTranslationsStorage : public TComponent
{
    Q_OBJECT

public:
    explicit TVLTranslationsStorage(QObject *owner = nullptr) : TComponent(owner) {}

    QByteArray StoredTranslationFiles() const { return FStored; }

    bool ReadBlock(const QString &blockName, const QByteArray &data) override;

private:
    QByteArray FStored;
};

} // namespace shell
