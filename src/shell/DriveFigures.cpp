// SPDX-License-Identifier: MIT
#include "shell/DriveFigures.h"

#include "wmi/PropertyText.h"

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
