// SPDX-License-Identifier: MIT
#include "wmi/CWMISQL.h"

#include "wmi/ObjectText.h"

TWMISQL::TWMISQL(QObject *owner) : TWMIBase(owner)
{
    FMSDNHelp = QStringLiteral("https://learn.microsoft.com/windows/win32/wmisdk/querying-with-wql");
}

TWMISQL::~TWMISQL() = default;

QString TWMISQL::PropertiesText() const
{
    QString text;
    for (const QString &line : FProperties) {
        text += line;
        text += QStringLiteral("\r\n");
    }
    return text;
}

void TWMISQL::ChangeActive(bool value)
{
    TWMIBase::ChangeActive(value);
}

QString TWMISQL::QueryClassName() const
{
    return FSQL;
}

QString TWMISQL::QueryText() const
{
    return FSQL;
}

QString TWMISQL::QueryNamespace() const
{
    return QStringLiteral("root\\cimv2");
}

void TWMISQL::ClearObjectProperties()
{
    FProperties.clear();
}

void TWMISQL::LoadObjectProperties(int index)
{
    TWMIBase::LoadObjectProperties(index);
    std::vector<std::string> list;
    ObjectText::BuildPropertyList(ObjectText::SplitLines(ObjectTextAt(index).toStdString()), list);
    FProperties.clear();
    FProperties.reserve(static_cast<qsizetype>(list.size()));
    for (const std::string &line : list)
        FProperties.append(QString::fromStdString(line));
}
