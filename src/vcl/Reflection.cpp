// SPDX-License-Identifier: MIT
#include "vcl/Reflection.h"

#include "vcl/Classes.h"
#include "vcl/Persistent.h"

#include <QMetaObject>
#include <QObject>

namespace vcl {

namespace {

TTypeKind KindOf(const QMetaProperty &p)
{
    const QMetaType type = p.metaType();
    switch (type.id()) {
    case QMetaType::QString:
        return TTypeKind::tkUString;
    case QMetaType::QByteArray:
        return TTypeKind::tkLString;
    default:
        break;
    }
    if (type.flags() & QMetaType::PointerToQObject)
        return TTypeKind::tkClass;
    return TTypeKind::tkOther;
}

} // namespace

TObjectKind ObjectKind(const QObject *obj)
{
    if (!obj)
        return TObjectKind::okOther;
    if (AsComponent(obj))
        return TObjectKind::okComponent;
    if (qobject_cast<const TStrings *>(obj))
        return TObjectKind::okStrings;
    if (qobject_cast<const TCollection *>(obj))
        return TObjectKind::okCollection;
    if (qobject_cast<const TPersistent *>(obj))
        return TObjectKind::okPersistent;
    return TObjectKind::okOther;
}

QString ClassName(const QObject *obj)
{
    return obj ? QString::fromLatin1(obj->metaObject()->className()) : QString();
}

QList<TPropInfo> GetPropList(const QObject *obj)
{
    QList<TPropInfo> result;
    for (const QMetaProperty &p : PublishedProperties(obj)) {
        TPropInfo info;
        info.Meta = p;
        info.Name = QString::fromLatin1(p.name());
        info.Kind = KindOf(p);
        info.HasGetter = p.isReadable();
        info.HasSetter = p.isWritable();
        result.append(info);
    }
    return result;
}

bool IsStoredProp(const QObject *obj, const TPropInfo &prop)
{
    return IsStored(obj, prop.Meta);
}

QString GetStrProp(const QObject *obj, const TPropInfo &prop)
{
    if (!obj || !prop.HasGetter)
        return QString();
    const QVariant v = prop.Meta.read(obj);
    if (prop.Kind == TTypeKind::tkLString)
        return QString::fromLatin1(v.toByteArray());
    return v.toString();
}

bool SetStrProp(QObject *obj, const TPropInfo &prop, const QString &value)
{
    if (!obj || !prop.HasSetter)
        return false;
    if (prop.Kind == TTypeKind::tkLString)
        return prop.Meta.write(obj, QVariant(value.toLatin1()));
    return prop.Meta.write(obj, QVariant(value));
}

QObject *GetObjectProp(const QObject *obj, const TPropInfo &prop)
{
    if (!obj || !prop.HasGetter || prop.Kind != TTypeKind::tkClass)
        return nullptr;
    const QVariant v = prop.Meta.read(obj);
    return v.value<QObject *>();
}

} // namespace vcl
