// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Component.h"

#include <QByteArray>
#include <QStringList>

// Stand-ins that keep the main window's component tree complete until the
// language controller and the translation storage exist. They sit in their
// own namespace so that they can never clash with the real classes. Each one
// keeps the binary block it is given, untouched.
namespace shell {

class TVLanguageController : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QStringList IgnoreList READ IgnoreList WRITE SetIgnoreList)

public:
    explicit TVLanguageController(QObject *owner = nullptr) : TComponent(owner) {}

    QStringList IgnoreList() const { return FIgnoreList; }
    void SetIgnoreList(const QStringList &value) { FIgnoreList = value; }
    QByteArray LangData() const { return FLangData; }

    bool ReadBlock(const QString &blockName, const QByteArray &data) override;

private:
    QStringList FIgnoreList;
    QByteArray FLangData;
};

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
