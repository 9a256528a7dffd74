// SPDX-License-Identifier: MIT
#include "shell/ServerPassword.h"

#include "platform/SecretStore.h"
#include "shell/ShellLog.h"

#include <QPointer>
#include <QThread>
#include <QUrl>

#include <memory>

namespace ServerPassword {

namespace {

// Runs work on a thread of its own and then answer on context's thread. The
// thread deletes itself once finished; a window closed meanwhile only loses
// the answer.
void RunAway(QObject *context, std::function<void()> work, std::function<void()> answer)
{
    QThread *thread = QThread::create(std::move(work));
    QObject::connect(thread, &QThread::finished, context, std::move(answer));
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    thread->start();
}

platform::SecretKey Key(const QString &server, const QString &user)
{
    return {server.toStdString(), user.toStdString()};
}

} // namespace

void Lookup(QObject *context, const QString &server, const QString &user, TLookedUp done)
{
    struct TResult
    {
        std::string password;
        std::string error;
        platform::SecretFound found = platform::SecretFound::No;
    };
    auto result = std::make_shared<TResult>();
    const platform::SecretKey key = Key(server, user);
    RunAway(
        context, [key, result] { result->found = platform::LookupSecret(key, result->password, result->error); },
        [result, server, user, done = std::move(done)] {
            // A user or password written into the address stays out of the log.
            qCDebug(lcShell).noquote() << "keyring: password of" << user << "on"
                                       << QUrl(server).adjusted(QUrl::RemoveUserInfo).toString()
                                       << (result->found == platform::SecretFound::Yes      ? "found"
                                               : result->found == platform::SecretFound::No ? "not kept"
                                                                                            : "not available");
            done(QString::fromStdString(result->password), QString::fromStdString(result->error));
        });
}

void Store(QObject *context, const QString &server, const QString &user, const QString &password, TDone done)
{
    auto error = std::make_shared<std::string>();
    const platform::SecretKey key = Key(server, user);
    RunAway(
        context, [key, secret = password.toStdString(), error] { platform::StoreSecret(key, secret, *error); },
        [error, done = std::move(done)] { done(QString::fromStdString(*error)); });
}

void Remove(QObject *context, const QString &server, const QString &user, TDone done)
{
    auto error = std::make_shared<std::string>();
    const platform::SecretKey key = Key(server, user);
    RunAway(
        context, [key, error] { platform::RemoveSecret(key, *error); },
        [error, done = std::move(done)] { done(QString::fromStdString(*error)); });
}

} // namespace ServerPassword
