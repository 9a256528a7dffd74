// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Where the widget's drives come from, when not from this machine: three
// optional keys of section CONFIG after the seven options. Read only; the
// widget never writes them, and writing the options keeps them.
//
//   Host=https://prometheus.example.org:9090   a Prometheus server (or "." / absent: this machine)
//   User=ann                                   its HTTP Basic user; the password is looked up in ~/.netrc
//   Consulta=SELECT * FROM Win32_LogicalDisk WHERE DriveType = 3
//
// No password is ever read from the settings file.
struct TRemoteSource
{
    QString Host; // empty: this machine
    QString User;
    QString Consulta; // empty: the window's own query

    bool IsRemote() const;
    // Host as logs and messages show it: without a user or password written
    // into the address, and with its control characters visible.
    QString ShownHost() const;

    static TRemoteSource Read(const QString &AIniFilePath);
    // The same on TConfig::ConfigFileName().
    static TRemoteSource Read();
};
