// SPDX-License-Identifier: MIT
#include "shell/MachineHeadings.h"

#include "shell/PanelColumn.h"
#include "shell/ShellLog.h"
#include "wmi/PropertyText.h"

#include <algorithm>

void TMachineHeadings::Clear()
{
    for (TMachineHeading *heading : FColumn->Headings())
        delete heading;
    FHeadings.clear();
}

void TMachineHeadings::Add(const QString &shown, TDriveSource::TSource *source, const char *note)
{
    qCDebug(lcShell).noquote() << "machine heading:" << shown << note;
    FHeadings.push_back({FColumn->AddHeading(shown), source});
}

void TMachineHeadings::BeginSource(TDriveSource::TSource *source, bool grouped)
{
    FMachine.clear();
    FFirst = true;
    if (grouped && source->Texts.isEmpty())
        Add(source->ShownHost, source, "(no drives yet)");
}

void TMachineHeadings::BeforePanel(TDriveSource::TSource *source, const QString &propertyText, bool grouped)
{
    if (!grouped)
        return;
    const QString name = source->Remote
        ? PropertyValue(SplitPropertyText(propertyText), QStringLiteral("SystemName"))
        : source->ShownHost;
    if (!FFirst && name == FMachine)
        return;
    Add(name.isEmpty() ? source->ShownHost : name, source, "");
    FMachine = name;
    FFirst = false;
}

void TMachineHeadings::ShowStates(const std::vector<TDriveSource::TSource *> &sources)
{
    for (const auto &[heading, source] : FHeadings)
        if (heading && std::find(sources.cbegin(), sources.cend(), source) != sources.cend())
            heading->SetFailure(source->Failure);
}
