// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The machines the widget shows beside this one, each a Prometheus server
// with the user it logs in as, in a section of their own after section
// CONFIG:
//
//   [MAQUINAS]
//   EstaMaquina=True
//   Servidor1=http://nas.example.org:9090
//   Usuario1=ann
//   Servidor2=https://mon.example.org/prometheus
//
// EstaMaquina says whether this machine's drives are shown (absent: yes);
// ServidorN is a server's address (http or https), UsuarioN its user for
// HTTP Basic (absent: none). Passwords are never read from nor written to
// this section: they live in the desktop's keyring. The numbers give the
// order; gaps are allowed.
struct TOtherServer
{
    QString Url;
    QString User;

    bool operator==(const TOtherServer &other) const = default;
};

struct TOtherMachines
{
    bool ThisMachine = true;
    QList<TOtherServer> Servers;

    bool operator==(const TOtherMachines &other) const = default;

    static QString SectionName() { return QStringLiteral("MAQUINAS"); }
    // At most this many servers are read or written; numbers above it are
    // not read.
    static constexpr int MaxServers = 64;
    // An address or user name longer than this is no server of the list.
    static constexpr int MaxTextLength = 1024;

    // Why text cannot be a server's address: empty when it can (http:// or
    // https:// followed by a host, no control characters, no blank, at most
    // MaxTextLength characters).
    static QString UrlProblem(const QString &text);
    // Why text cannot be a user name of the list: empty when it can.
    static QString UserProblem(const QString &text);

    // The section of the file at AIniFilePath. A missing file or section
    // gives the defaults (this machine alone). What cannot be a server (an
    // address that is not http(s), control characters, a number out of
    // range, the same server and user twice) is left out, its reason in
    // AProblems; the rest is read.
    static TOtherMachines Read(const QString &AIniFilePath, QStringList *AProblems = nullptr);
    // The section then holds exactly AMachines (the defaults: the section
    // goes), written in one atomic replacement of the file. Only a file that
    // exists is written: whether it exists tells the next start that the
    // widget has been set up. Returns false when there was no file. Servers
    // that Read would leave out are not written. Raises Exception like
    // TConfig::SaveOptionValues.
    static bool Write(const QString &AIniFilePath, const TOtherMachines &AMachines);
};
