// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QMetaProperty>
#include <QString>

class QObject;

// Reflection over components and their persistent sub-objects, the way the
// localization engine walks them: each object's published properties in a
// stable order (the class's own Q_PROPERTY order, base classes first), with
// kind, getter, setter and stored condition.
namespace vcl {

// The kinds a property can have. A QString property is a Unicode string
// (tkUString); a QByteArray property holds 8-bit text in the program's code
// page (tkLString, read and written as Latin-1); component classes publish
// text as one of these two. Pointers to QObjects are object references.
// Everything else (numbers, booleans, lists ...) is tkOther.
enum class TTypeKind { tkLString, tkUString, tkClass, tkOther };

inline bool IsStringKind(TTypeKind kind)
{
    return kind == TTypeKind::tkLString || kind == TTypeKind::tkUString;
}

struct TPropInfo
{
    QMetaProperty Meta;
    QString Name;
    TTypeKind Kind = TTypeKind::tkOther;
    bool HasGetter = false;
    bool HasSetter = false;
};

// What an object reached through a property is.
enum class TObjectKind { okComponent, okStrings, okCollection, okPersistent, okOther };

TObjectKind ObjectKind(const QObject *obj);
// The class name as the window definition names it ("TFont", "TStrings" ...).
QString ClassName(const QObject *obj);

// The published properties of obj, in a stable order.
QList<TPropInfo> GetPropList(const QObject *obj);

// Whether the window definition would save the property: for components,
// the component's stored condition; for sub-objects, the Q_PROPERTY's STORED.
bool IsStoredProp(const QObject *obj, const TPropInfo &prop);

QString GetStrProp(const QObject *obj, const TPropInfo &prop);
// Returns false when the object refuses the value.
bool SetStrProp(QObject *obj, const TPropInfo &prop, const QString &value);
// The referenced object, or nullptr (no getter, no object, not an object kind).
QObject *GetObjectProp(const QObject *obj, const TPropInfo &prop);

} // namespace vcl
