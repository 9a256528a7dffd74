// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <string>

class TDriveWindow;

// The open drive windows, one per drive: opening a drive that has one
// brings it to the front.
class TDriveWindows : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~TDriveWindows() override;

    TDriveWindow *Open(const QString &driveName, const std::string &driveRoot);
    TDriveWindow *Find(const QString &driveName) const;
    // The language was switched: every open window follows.
    void Retranslate();

signals:
    // A window was made (before it is shown): the place to add what it
    // shows besides the breakdown.
    void Opened(TDriveWindow *window);

private:
    QList<QPointer<TDriveWindow>> FWindows;
};
