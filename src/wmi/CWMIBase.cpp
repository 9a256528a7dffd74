// SPDX-License-Identifier: MIT
#include "wmi/CWMIBase.h"

#include "history/DiskTrendService.h"
#include "platform/SystemError.h"
#include "platform/WbemFactory.h"
#include "vcl/Exception.h"
#include "wmi/ObjectText.h"

#include <exception>

namespace {

const QString msgNoConectado = QStringLiteral("Componente no conectado...  (crear tipo específico)");
const QString msgNoActivado = QStringLiteral("Componente no activado...  (crear tipo específico)");
const QString msgFueraLimites = QStringLiteral("Índice fuera de límites...  (crear tipo específico)");

std::vector<std::string> ToStd(const QStringList &list)
{
    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(list.size()));
    for (const QString &s : list)
        result.push_back(s.toStdString());
    return result;
}

QStringList ToQt(const std::vector<std::string> &list)
{
    QStringList result;
    result.reserve(static_cast<qsizetype>(list.size()));
    for (const std::string &s : list)
        result.append(QString::fromStdString(s));
    return result;
}

} // namespace

TWMIBase::TWMIBase(QObject *owner) : TComponent(owner), FHost(QStringLiteral("."))
{
    // The system's locator, with the credentials set at the time of each
    // connection.
    FLocatorFactory = [this] {
        // Velmora_DiskTrend of this machine comes from its drive history.
        return history::WithDiskTrends(
            platform::CreateWbemLocator(platform::WbemCredentials{FUser.toStdString(), FPassword.toStdString()}));
    };
}

// Releases the connection; fires no events.
TWMIBase::~TWMIBase() = default;

QString TWMIBase::ComponentCaption() const
{
    try {
        QString value;
        bool isNull = true;
        FComponentCaption = ReadObjectValue(QStringLiteral("Caption"), value, isNull) ? ValueAsText(value, isNull)
                                                                                      : QString();
    } catch (const std::exception &) {
        FComponentCaption.clear();
    }
    return FComponentCaption;
}

void TWMIBase::SetComponentCaption(const QString &value)
{
    FComponentCaption = value;
}

void TWMIBase::SetObjectIndex(int value)
{
    if (FComponentState.testFlag(csLoading))
        return;
    if (value == FObjectIndex)
        return;
    FObjectIndex = value;
    if (!FConnected) {
        FObjectIndex = 0;
        throw Exception(msgNoConectado);
    }
    if (!FActive) {
        FObjectIndex = 0;
        throw Exception(msgNoActivado);
    }
    // ObjectsCount is writable and a failed query keeps its previous value:
    // an index without an object text is out of bounds as well.
    if (value < 1 || value > FObjectsCount || value > FAllProperties.size()) {
        FObjectIndex = 0;
        throw Exception(msgFueraLimites);
    }
    LoadObjectProperties(value);
}

void TWMIBase::SetLocatorFactory(LocatorFactory factory)
{
    FLocatorFactory = std::move(factory);
}

void TWMIBase::ChangeActive(bool value)
{
    if (value && OnBeforeActivate)
        OnBeforeActivate(this);
    if (!value && OnBeforeDeactivate)
        OnBeforeDeactivate(this);

    FActive = value;

    if (!value) {
        FObjectsCount = 0;
        FObjectIndex = 0;
        FAllProperties.clear();
        ClearObjectProperties();
        if (OnAfterDeactivate)
            OnAfterDeactivate(this);
        return;
    }

    FAllProperties.clear();
    ConnectToHost();
    try {
        RunQueryIntoList(*aServices, QueryText(), FAllProperties);
    } catch (const Exception &) {
        throw;
    } catch (const std::bad_alloc &) {
        throw;
    } catch (const std::exception &e) {
        // The component reports its failures in one exception class; the
        // service's message is kept as it is.
        throw Exception(QString::fromStdString(e.what()));
    }
    FObjectsCount = static_cast<int>(FAllProperties.size());
    if (FObjectsCount < 1)
        return;

    FObjectIndex = 1;
    LoadObjectProperties(1);
    if (OnAfterActivate)
        OnAfterActivate(this);
}

QString TWMIBase::QueryText() const
{
    return QStringLiteral("SELECT * FROM ") + QueryClassName();
}

void TWMIBase::ClearObjectProperties()
{
    FAllProperties.clear();
}

void TWMIBase::LoadObjectProperties(int)
{
    ClearObjectProperties();
}

void TWMIBase::ConnectToHost()
{
    // The failure's own text is raised: the thread's last system error at this
    // point has nothing to do with the connection and often reads "Success".
    QString failure;
    try {
        if (!FLocatorFactory)
            throw platform::WbemError("No locator for the management service");
        std::unique_ptr<platform::WbemLocator> locator = FLocatorFactory();
        if (!locator)
            throw platform::WbemError("No locator for the management service");
        std::unique_ptr<platform::WbemServices> services = locator->ConnectServer(FHost.toStdString(),
                                                                                  QueryNamespace().toStdString());
        if (!services)
            throw platform::WbemError("The management service gave no connection");
        aServices = std::move(services);
        FConnected = true;
        return;
    } catch (const std::bad_alloc &) {
        FConnected = false;
        throw;
    } catch (const std::exception &e) {
        failure = QString::fromStdString(e.what());
    }
    FConnected = false;
    throw Exception(failure);
}

bool TWMIBase::ReadObjectValue(const QString &name, QString &value, bool &isNull) const
{
    if (FObjectIndex < 1)
        return false;
    if (FAllProperties.isEmpty()) {
        value.clear();
        isNull = true;
        return true;
    }
    const std::string s = ObjectText::FindValueInObjectText(name.toStdString(),
                                                            ObjectTextAt(FObjectIndex).toStdString());
    value = QString::fromStdString(s);
    isNull = s.empty();
    return true;
}

const QString &TWMIBase::ObjectTextAt(int index) const
{
    if (index < 1 || index > FAllProperties.size())
        throw Exception(msgFueraLimites);
    return FAllProperties.at(index - 1);
}

void RunQueryIntoList(platform::WbemServices &services, const QString &query, QStringList &list)
{
    std::unique_ptr<platform::WbemObjectSet> objects = services.ExecQuery(query.toStdString());
    if (!objects)
        return;
    while (std::unique_ptr<platform::WbemObject> object = objects->Next())
        list.append(QString::fromStdString(object->GetObjectText()));
}

void BuildPropertyList(const QStringList &source, QStringList &destination)
{
    std::vector<std::string> result;
    ObjectText::BuildPropertyList(ToStd(source), result);
    destination = ToQt(result);
}

QString ValueAsText(const QString &value, bool isNull)
{
    return isNull ? QString() : value;
}

QString LastSystemErrorText()
{
    return QString::fromStdString(platform::LastSystemErrorText());
}
