// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Component.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace platform {
class WbemLocator;
class WbemServices;
} // namespace platform

class TFAbout;

// Callback that receives the component as its sender.
using TNotifyEvent = std::function<void(QObject *Sender)>;

// Abstract query component: connects to the management service of Host, runs
// QueryText() in namespace QueryNamespace() and keeps the MOF object text of
// every result object, one entry per object, in AllProperties. ObjectIndex
// (1-based, 0 = none) selects the current object.
//
// Every failure of its operations is raised as Exception (vcl/Exception.h)
// with a message for the user.
//
// Events: the four On... members are plain callbacks, called synchronously
// inside the Active setter when assigned (see ChangeActive); an exception
// thrown by one of them ends the sequence and propagates to the caller.
class TWMIBase : public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString ComponentCaption READ ComponentCaption WRITE SetComponentCaption STORED false)
    Q_PROPERTY(QString MSDNHelp READ MSDNHelp WRITE SetMSDNHelp STORED false)
    Q_PROPERTY(QString Host READ Host WRITE SetHost)
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QStringList AllProperties READ AllProperties)
    Q_PROPERTY(int ObjectsCount READ ObjectsCount WRITE SetObjectsCount STORED false)
    Q_PROPERTY(int ObjectIndex READ ObjectIndex WRITE SetObjectIndex STORED false)

public:
    using LocatorFactory = std::function<std::unique_ptr<platform::WbemLocator>()>;

    explicit TWMIBase(QObject *owner = nullptr);
    ~TWMIBase() override;

    // Reading gives the "Caption" value of the current object, empty when
    // there is none or anything fails; never raises. Writing sets the text
    // that the next read replaces.
    QString ComponentCaption() const;
    void SetComponentCaption(const QString &value);

    // The About dialog of the component library; never assigned at run time.
    TFAbout *VersionQuillet() const { return FAboutQuillon; }

    QString MSDNHelp() const { return FMSDNHelp; }
    void SetMSDNHelp(const QString &value) { FMSDNHelp = value; }

    // Host to connect to at the next activation; "." is the local machine.
    QString Host() const { return FHost; }
    void SetHost(const QString &value) { FHost = value; }

    // Credentials for a host that asks for them (a Prometheus server: HTTP
    // Basic); empty values leave them to the service (~/.netrc). Not
    // published: a password is never stored with a window definition.
    QString User() const { return FUser; }
    void SetUser(const QString &value) { FUser = value; }
    void SetPassword(const QString &value) { FPassword = value; }

    bool Active() const { return FActive; }
    // Runs ChangeActive(value) every time, also for the current value and
    // while a window definition is being loaded.
    void SetActive(bool value) { ChangeActive(value); }

    // One entry per result object of the last activation: its whole object
    // text, line breaks included.
    QStringList AllProperties() const { return FAllProperties; }

    int ObjectsCount() const { return FObjectsCount; }
    void SetObjectsCount(int value) { FObjectsCount = value; }

    int ObjectIndex() const { return FObjectIndex; }
    // Selects result object value (1-based) and rebuilds its property list.
    // Ignored while loading; nothing happens for the current value. Raises
    // "Componente no conectado...", "Componente no activado..." or
    // "Índice fuera de límites..." and leaves ObjectIndex 0 on failure.
    void SetObjectIndex(int value);

    bool Connected() const { return FConnected; }
    // The connection of the last successful activation; nullptr before.
    platform::WbemServices *WMIServices() const { return aServices.get(); }
    QString WMIClass() const { return QueryClassName(); }

    // Where activations get their locator; by default
    // platform::CreateWbemLocator with User and the password (which honours
    // VELMORA_FAKE_WBEM). Tests set their own.
    void SetLocatorFactory(LocatorFactory factory);

    TNotifyEvent OnBeforeActivate;
    TNotifyEvent OnAfterActivate;
    TNotifyEvent OnBeforeDeactivate;
    TNotifyEvent OnAfterDeactivate;

protected:
    // Activation: before-event, Active = value, connect, run the query into
    // AllProperties, select object 1, after-event. Deactivation: before-event,
    // forget the results, after-event. The value is not compared with the
    // current one: the whole sequence runs every time.
    virtual void ChangeActive(bool value);
    virtual QString QueryClassName() const = 0;
    // "SELECT * FROM " + QueryClassName().
    virtual QString QueryText() const;
    virtual QString QueryNamespace() const = 0;
    // Empties AllProperties.
    virtual void ClearObjectProperties();
    // Calls ClearObjectProperties.
    virtual void LoadObjectProperties(int index);

    // A new connection to Host / QueryNamespace() replaces the previous one.
    // On failure Connected becomes false and the failure's own message is
    // raised.
    void ConnectToHost();
    // The value of property name in the object text of the current object.
    // Returns false when there is no current object (ObjectIndex < 1).
    bool ReadObjectValue(const QString &name, QString &value, bool &isNull) const;

    // Entry index - 1 of AllProperties (index 1 is the first); raises
    // "Índice fuera de límites..." when there is no such entry.
    const QString &ObjectTextAt(int index) const;

    std::unique_ptr<platform::WbemServices> aServices;
    bool FActive = false;
    QStringList FAllProperties;
    int FObjectsCount = 0;
    bool FConnected = false;
    QString FHost;
    int FObjectIndex = 0;
    TFAbout *FAboutQuillon = nullptr;
    QString FMSDNHelp;
    mutable QString FComponentCaption;

private:
    LocatorFactory FLocatorFactory;
    QString FUser;
    QString FPassword;
};

// Runs query on services and appends the object text of every result object
// to list, one entry per object, in the order of the result. Errors of the
// query and of rendering an object propagate as platform::WbemError (entries
// appended before the failure stay); a failing step of the walk ends it like
// the end of the result.
void RunQueryIntoList(platform::WbemServices &services, const QString &query, QStringList &list);

// Qt face of ObjectText::BuildPropertyList (see ObjectText.h).
void BuildPropertyList(const QStringList &source, QStringList &destination);

// Empty text when isNull, otherwise value.
QString ValueAsText(const QString &value, bool isNull);

// The operating system's message text for the calling thread's last error
// code (errno / GetLastError()).
QString LastSystemErrorText();
