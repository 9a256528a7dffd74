// SPDX-License-Identifier: MIT
#include "vcl/FormLoader.h"

#include "vcl/Persistent.h"

#include <QDir>
#include <QFile>
#include <QObject>

namespace vcl {

namespace {

struct Block
{
    QString component;
    QString name;
    QString path;
    bool used = false;
};

QList<Block> BlocksOf(const QString &formName)
{
    QList<Block> blocks;
    const QString dir = QStringLiteral(":/forms/") + formName;
    const QStringList entries = QDir(dir).entryList(QDir::Files, QDir::Name);
    for (const QString &entry : entries) {
        const qsizetype dot = entry.indexOf(QLatin1Char('.'));
        if (dot <= 0 || dot == entry.size() - 1) {
            qCWarning(lcVcl) << "window" << formName << ": block name without component:" << entry;
            continue;
        }
        blocks.append({entry.left(dot), entry.mid(dot + 1), dir + QLatin1Char('/') + entry});
    }
    return blocks;
}

} // namespace

int LoadWindowDefinition(QObject *window, const QString &formName)
{
    const QList<QObject *> components = Components(window);
    for (QObject *c : components)
        AsComponent(c)->BeginLoading();

    QList<Block> blocks = BlocksOf(formName);
    int handed = 0;
    for (QObject *c : components) {
        for (Block &b : blocks) {
            if (b.used || b.component.compare(c->objectName(), Qt::CaseInsensitive) != 0)
                continue;
            b.used = true;
            QFile file(b.path);
            if (!file.open(QIODevice::ReadOnly)) {
                qCWarning(lcVcl) << "cannot read block" << b.path << ":" << file.errorString();
                continue;
            }
            if (AsComponent(c)->ReadBlock(b.name, file.readAll()))
                ++handed;
            else
                qCWarning(lcVcl) << "component" << c->objectName() << "has no block" << b.name;
        }
    }
    for (const Block &b : blocks)
        if (!b.used)
            qCWarning(lcVcl) << "window" << formName << "has no component" << b.component << "for block" << b.name;

    for (QObject *c : components)
        AsComponent(c)->Loaded();
    return handed;
}

} // namespace vcl
