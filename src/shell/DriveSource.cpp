// SPDX-License-Identifier: MIT
#include "shell/DriveSource.h"

#include "panels/PanelFailure.h"
#include "panels/frDisco.h"
#include "platform/DriveQueryWait.h"
#include "settings/Config.h"
#include "shell/ErrorReport.h"
#include "shell/ServerPassword.h"
#include "shell/ShellLog.h"
#include "wbem/VisibleText.h"
#include "wmi/CWMISQL.h"

#include <QPointer>
#include <QSysInfo>

#include <algorithm>
#include <chrono>
#include <optional>

namespace {

QString Shown(const QString &host)
{
    return QString::fromStdString(platform::VisibleText(platform::UrlWithoutCredentials(host.toStdString())));
}

// The drive query's wait for a while (a server of the list is never waited
// for), the window's own wait again afterwards.
class TScopedQueryWait
{
public:
    explicit TScopedQueryWait(std::chrono::milliseconds wait) : FBefore(platform::DriveQueryWaitNow())
    {
        platform::SetDriveQueryWait(wait);
    }
    ~TScopedQueryWait() { platform::SetDriveQueryWait(FBefore); }
    TScopedQueryWait(const TScopedQueryWait &) = delete;
    TScopedQueryWait &operator=(const TScopedQueryWait &) = delete;

private:
    std::chrono::milliseconds FBefore;
};

} // namespace

TDriveSource::TDriveSource() : FGuard(std::make_unique<QObject>()) {}

TDriveSource::~TDriveSource() = default;

QString TDriveSource::ThisMachineName()
{
    const QString name = QSysInfo::machineHostName();
    return name.isEmpty() ? QStringLiteral("localhost") : name;
}

void TDriveSource::AddServer(TSource &source, const QString &host, const QString &user)
{
    TWMISQL *query = source.Query;
    query->SetHost(host);
    query->SetUser(user);
    source.Remote = true;
    source.ShownHost = Shown(host);
    // The password comes from the desktop's keyring when it keeps one for
    // that user on that server, from ~/.netrc otherwise; the queries before
    // the keyring answers go without.
    if (user.isEmpty())
        return;
    QPointer<TWMISQL> target(query);
    ServerPassword::Lookup(FGuard.get(), host, user,
                           [target, arrived = FPasswordArrived](const QString &password, const QString &error) {
                               if (!error.isEmpty())
                                   qCInfo(lcShell).noquote() << error;
                               if (password.isEmpty() || !target)
                                   return;
                               target->SetPassword(password);
                               if (arrived)
                                   arrived();
                           });
}

void TDriveSource::Read(TWMISQL *query, std::function<void()> passwordArrived)
{
    FWindowQuery = query;
    FPasswordArrived = std::move(passwordArrived);
    FSource = TRemoteSource::Read();
    QStringList problems;
    FMachines = TOtherMachines::Read(TConfig::ConfigFileName(), &problems);
    for (const QString &problem : problems)
        qCInfo(lcShell).noquote() << "other machines:" << problem;
    if (!FHostForThisRun.isEmpty()) {
        // The file's user belongs to the file's server; this one's password
        // comes from ~/.netrc. The list of other machines waits for the next
        // run without this option.
        FSource.Host = FHostForThisRun;
        FSource.User.clear();
    }
    FPrimary = TSource();
    FPrimary.Query = query;
    FPrimary.ShownHost = ThisMachineName();
    if (FSource.IsRemote())
        AddServer(FPrimary, FSource.Host, FSource.User);
    if (!FSource.Consulta.isEmpty())
        query->SetSQL(FSource.Consulta);
    if (FSource.IsRemote() || !FSource.Consulta.isEmpty())
        qCDebug(lcShell).noquote() << "drive source:"
                                   << (FSource.IsRemote() ? FSource.ShownHost() : Shown(query->Host()))
                                   << "query:" << query->SQL();
    SetMachines(FHostForThisRun.isEmpty() ? FMachines : TOtherMachines());
    // Only --host for this run may hide the list: the file's is kept.
    if (!FHostForThisRun.isEmpty())
        FMachines = TOtherMachines::Read(TConfig::ConfigFileName());
}

void TDriveSource::SetMachines(const TOtherMachines &machines)
{
    FMachines = machines;
    // A server the file's Host already shows stands in the list once.
    FWindowQueryShown = FPrimary.Remote || machines.ThisMachine || machines.Servers.isEmpty();
    // The queries of servers still listed stay, with their last answers.
    std::vector<std::unique_ptr<TSource>> kept;
    for (const TOtherServer &server : machines.Servers) {
        if (FPrimary.Remote && FWindowQuery && server.Url == FWindowQuery->Host() && server.User == FSource.User)
            continue;
        auto same = std::find_if(FListed.begin(), FListed.end(), [&](const std::unique_ptr<TSource> &s) {
            return s && s->Query->Host() == server.Url && s->Query->User() == server.User;
        });
        if (same != FListed.end()) {
            kept.push_back(std::move(*same));
            continue;
        }
        auto source = std::make_unique<TSource>();
        source->OwnQuery = std::make_unique<TWMISQL>();
        source->Query = source->OwnQuery.get();
        if (FWindowQuery)
            source->Query->SetSQL(FWindowQuery->SQL());
        source->Listed = true;
        AddServer(*source, server.Url, server.User);
        qCDebug(lcShell).noquote() << "other machine:" << source->ShownHost
                                   << (server.User.isEmpty() ? QString() : QStringLiteral("as ") + server.User);
        kept.push_back(std::move(source));
    }
    FListed = std::move(kept);
}

std::vector<TDriveSource::TSource *> TDriveSource::Sources() const
{
    std::vector<TSource *> sources;
    if (FWindowQueryShown && FPrimary.Query)
        sources.push_back(const_cast<TSource *>(&FPrimary));
    for (const auto &source : FListed)
        sources.push_back(source.get());
    return sources;
}

bool TDriveSource::IsRemote() const
{
    for (const TSource *source : Sources())
        if (!source->Remote)
            return false;
    return true;
}

bool TDriveSource::HasRemote() const
{
    for (const TSource *source : Sources())
        if (source->Remote)
            return true;
    return false;
}

void TDriveSource::ShowState(TFrameDrive *frame, const QString &reason)
{
    const QString shown = PanelFailure::Reason(frame);
    if (reason == shown)
        return;
    if (reason.isEmpty()) {
        PanelFailure::Clear(frame);
        qCDebug(lcShell).noquote() << "panel" << frame->Nombre() << "answering again";
    } else {
        PanelFailure::Show(frame, reason);
        qCDebug(lcShell).noquote() << "panel" << frame->Nombre() << "greyed:" << reason;
    }
}

TDriveSource::TAnswers TDriveSource::QueryAll()
{
    TAnswers answers;
    for (TSource *source : Sources()) {
        try {
            std::optional<TScopedQueryWait> noWait;
            if (source->Listed)
                noWait.emplace(std::chrono::milliseconds(0));
            source->Query->SetActive(false);
            source->Query->SetActive(true);
            answers.AnyAnswered = true;
            QStringList texts;
            for (int i = 1; i <= source->Query->ObjectsCount(); ++i) {
                source->Query->SetObjectIndex(i);
                texts << source->Query->PropertiesText();
            }
            source->Texts = std::move(texts);
            if (!source->Failure.isEmpty())
                qCInfo(lcShell).noquote() << "drive source" << source->ShownHost << "answering again";
            source->Failure.clear();
        } catch (...) {
            const QString message = TErrorReport::CurrentMessage();
            if (!source->Remote) {
                // This machine's drives: counted by the window, the panels
                // rebuilt from nothing at the next refresh.
                source->Texts.clear();
                answers.LocalFailure = message;
                continue;
            }
            // Another machine's source that does not answer ends nothing:
            // its panels stay with their last figures, greyed, until it
            // answers; the other sources go on.
            qCInfo(lcShell).noquote() << "drive source" << source->ShownHost << "failed:" << message;
            source->Failure = message;
        }
    }
    return answers;
}
