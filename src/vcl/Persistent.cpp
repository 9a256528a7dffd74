// SPDX-License-Identifier: MIT
#include "vcl/Persistent.h"

#include <QMetaObject>
#include <QObject>

Q_LOGGING_CATEGORY(lcVcl, "velmora.vcl")

namespace vcl {

IComponent *AsComponent(QObject *obj)
{
    return dynamic_cast<IComponent *>(obj);
}

const IComponent *AsComponent(const QObject *obj)
{
    return dynamic_cast<const IComponent *>(obj);
}

QList<QObject *> Components(const QObject *owner)
{
    QList<QObject *> result;
    if (!owner)
        return result;
    for (QObject *child : owner->children())
        if (AsComponent(child))
            result.append(child);
    return result;
}

QObject *FindComponent(const QObject *owner, const QString &name)
{
    if (name.isEmpty())
        return nullptr;
    for (QObject *child : Components(owner))
        if (child->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return child;
    return nullptr;
}

bool IsPublished(const QMetaProperty &property)
{
    const char *name = property.name();
    return name && *name >= 'A' && *name <= 'Z';
}

QList<QMetaProperty> PublishedProperties(const QObject *obj)
{
    QList<QMetaProperty> result;
    if (!obj)
        return result;
    const QMetaObject *mo = obj->metaObject();
    for (int i = 0; i < mo->propertyCount(); ++i) {
        const QMetaProperty p = mo->property(i);
        if (IsPublished(p))
            result.append(p);
    }
    return result;
}

bool IsStored(const QObject *obj, const QMetaProperty &property)
{
    if (!obj || !IsPublished(property) || !property.isStored())
        return false;
    if (const IComponent *c = AsComponent(obj))
        return c->IsStored(property.name());
    return true;
}

} // namespace vcl
