// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QList>
#include <QLoggingCategory>
#include <QMetaProperty>
#include <QString>

class QObject;

Q_DECLARE_LOGGING_CATEGORY(lcVcl)

namespace vcl {

// What makes a QObject a component of its window: the loader's hooks and the
// stored condition of its published properties. Component classes derive
// from their Qt class (QAction, QTimer, QLabel ...) and from this interface;
// TComponent carries it for the non-visual ones.
class IComponent
{
public:
    virtual ~IComponent() = default;

    // The window loader calls it on every component before any block is read.
    virtual void BeginLoading() {}
    // Runs once the whole window definition has been read, in definition order.
    virtual void Loaded() {}
    // The stored condition of a published property: false when the value
    // comes from elsewhere (a menu item's Caption supplied by its action)
    // and must not be saved or translated as the component's own.
    virtual bool IsStored(const char *propertyName) const
    {
        (void)propertyName;
        return true;
    }
    // A named binary block of the window definition (blockName is the part
    // after the component name, e.g. "LangData"). Returns false when the
    // component has no block of that name. Errors in the data are raised.
    virtual bool ReadBlock(const QString &blockName, const QByteArray &data)
    {
        (void)blockName;
        (void)data;
        return false;
    }
};

// Keeps the loading state for component classes that derive from a Qt class.
class TComponentBase : public IComponent
{
public:
    void BeginLoading() override { FLoading = true; }
    void Loaded() override { FLoading = false; }
    bool IsLoading() const { return FLoading; }

private:
    bool FLoading = false;
};

// The component interface of obj, or nullptr when obj is not a component.
IComponent *AsComponent(QObject *obj);
const IComponent *AsComponent(const QObject *obj);

// The components that owner owns, in definition order: its direct children
// that are components. Qt's own helper objects (layouts, animations,
// submenus) are not components.
QList<QObject *> Components(const QObject *owner);

// The owner's component named name (direct children only), or nullptr.
QObject *FindComponent(const QObject *owner, const QString &name);

// Published properties are the ones the component classes declare with their
// design names, which start with a capital letter (Caption, Hint, Tag ...).
// Qt's own properties (objectName, text, toolTip, checked ...) start with a
// lower-case letter and are never published.
bool IsPublished(const QMetaProperty &property);
QList<QMetaProperty> PublishedProperties(const QObject *obj);

// Whether the current value of a published property belongs to the window
// definition. Qt 6 has no per-object STORED functions, so the condition is
// asked from the component (IComponent::IsStored); a Q_PROPERTY declared
// STORED false is never stored.
bool IsStored(const QObject *obj, const QMetaProperty &property);

} // namespace vcl
