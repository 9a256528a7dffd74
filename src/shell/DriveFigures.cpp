// SPDX-License-Identifier: MIT
#include "shell/DriveFigures.h"

#include "panels/DriveFullness.h"
#include "wmi/PropertyText.h"

#include <algorithm>

const TDriveFigures::TFigures &TDriveFigures::Read(const QString &propertyText)
{
    auto found = FEntries.find(propertyText);
    if (found == FEntries.end()) {
        const QStringList items = SplitPropertyText(propertyText);
        found = FEntries.insert(
            propertyText,
            {{PropertyValue(items, QStringLiteral("Name")), PropertyValue(items, QStringLiteral("FreeSpace")),
              PropertyValue(items, QStringLiteral("Size")), PropertyValue(items, QStringLiteral("DriveType")),
              PropertyValue(items, QStringLiteral("Status")),
              PropertyValue(items, QStringLiteral("ErrorDescription")),
              PropertyValue(items, QStringLiteral("VolumeSerialNumber")),
              PropertyValue(items, QStringLiteral("FileSystem")), PropertyValue(items, QStringLiteral("Access"))},
             0});
    }
    found->Refresh = FRefresh;
    return found->Figures;
}

void TDriveFigures::EndRefresh()
{
    FEntries.removeIf([this](const auto &it) { return it.value().Refresh != FRefresh; });
    ++FRefresh;
}

QString TDriveFigures::WithoutBadFigures(const QString &propertyText)
{
    QString quoted;
    for (QString item : SplitPropertyText(propertyText)) {
        for (const QLatin1String key : {QLatin1String("Size="), QLatin1String("FreeSpace=")})
            if (item.startsWith(key) && !PropertyUInt64(QStringView(item).mid(key.size())))
                item = key;
        quoted += QLatin1Char('"') + item.replace(QLatin1Char('"'), QStringLiteral("\"\""))
            + QStringLiteral("\"\r\n");
    }
    return quoted;
}

TDriveState DriveStateOf(const TDriveFigures::TFigures &figures, const TDriveStates &last)
{
    TDriveState drive;
    drive.Name = figures.Name;
    drive.Kind = static_cast<platform::TDriveType>(
        static_cast<quint8>(PropertyInt32(figures.DriveType).value_or(0)));
    drive.Free = PropertyUInt64(figures.FreeSpace);
    drive.Size = PropertyUInt64(figures.Size);
    if (!drive.Size) {
        const auto before = std::find_if(last.cbegin(), last.cend(),
                                         [&](const TDriveState &it) { return it.Name == drive.Name; });
        if (before != last.cend())
            drive.Size = before->Size;
    }
    drive.Full = DriveFullness::IsDriveFull(drive.Kind, drive.Free, drive.Size);
    drive.VolumeSerialNumber = figures.VolumeSerialNumber;
    drive.FileSystem = figures.FileSystem;
    drive.ReadOnly = figures.Access == QLatin1String("1");
    return drive;
}
