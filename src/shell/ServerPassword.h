// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>

#include <functional>

// A Prometheus server's password in the desktop's keyring, asked for away
// from the window's thread (the keyring may take its time, or ask the user to
// unlock it): the answer comes back on the thread of context, and never if
// context is gone by then. Neither the log nor an error text ever holds the
// password.
namespace ServerPassword {

// password empty and error empty: the keyring holds none for that user.
using TLookedUp = std::function<void(const QString &password, const QString &error)>;
// error empty: done.
using TDone = std::function<void(const QString &error)>;

void Lookup(QObject *context, const QString &server, const QString &user, TLookedUp done);
void Store(QObject *context, const QString &server, const QString &user, const QString &password, TDone done);
void Remove(QObject *context, const QString &server, const QString &user, TDone done);

} // namespace ServerPassword
