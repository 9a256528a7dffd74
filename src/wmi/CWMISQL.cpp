// SPDX-License-Identifier: MIT
#include "wmi/CWMISQL.h"

#include "wmi/ObjectText.h"
#include "wmi/PropertyText.h"

TWMISQL::TWMISQL(QObject *owner) : TWMIBase(owner)
{
    FMSDNHelp = QStringLiteral("https://learn.microsoft.com/windows/win32/wmisdk/querying-with-wql");
}

TWMISQL::~TWMISQL() = default;

void TWMISQL::ChangeActive(bool value)
{
    // A new result: what the last one parsed stays at hand for one more
    // activation, and anything older goes.
    if (value) {
        ++FActivation;
        FParsed.removeIf([this](const auto &it) { return it.value().activation + 1 < FActivation; });
    }
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
    FPropertiesText.clear();
}

void TWMISQL::LoadObjectProperties(int index)
{
    TWMIBase::LoadObjectProperties(index);
    const QString &objectText = ObjectTextAt(index);
    auto parsed = FParsed.find(objectText);
    if (parsed == FParsed.end()) {
        TParsedObject object;
        std::vector<std::string> list;
        ObjectText::BuildPropertyList(ObjectText::SplitLines(objectText.toStdString()), list);
        object.properties.reserve(static_cast<qsizetype>(list.size()));
        for (const std::string &line : list) {
            object.properties.append(QString::fromStdString(line));
            // Quoted where a value holds a separator, so that readers of the
            // text find the same entries as the list holds.
            object.text += PropertyTextEntry(object.properties.constLast());
            object.text += QStringLiteral("\r\n");
        }
        parsed = FParsed.insert(objectText, std::move(object));
    }
    parsed->activation = FActivation;
    FProperties = parsed->properties;
    FPropertiesText = parsed->text;
}
