// SPDX-License-Identifier: MIT
#pragma once

#include "wmi/CWMIBase.h"

#include <QHash>

// Query component whose query is the WQL text in SQL, run in root\cimv2. The
// current result object is broken into Properties, one "Name=value" line per
// property (see ObjectText::BuildPropertyList).
//
// A widget runs the same query every few seconds and most objects come back
// with the same text: the lists made from the texts of the last two
// activations are kept and reused for an identical text.
class TWMISQL : public TWMIBase
{
    Q_OBJECT
    Q_PROPERTY(QStringList Properties READ Properties STORED false)
    Q_PROPERTY(QString SQL READ SQL WRITE SetSQL)

public:
    explicit TWMISQL(QObject *owner = nullptr);
    ~TWMISQL() override;

    // The property list of the current object.
    QStringList Properties() const { return FProperties; }
    // The same list as one text, each line followed by CR LF.
    QString PropertiesText() const { return FPropertiesText; }

    QString SQL() const { return FSQL; }
    void SetSQL(const QString &value) { FSQL = value; }

protected:
    void ChangeActive(bool value) override;
    // The whole SQL text.
    QString QueryClassName() const override;
    QString QueryText() const override;
    QString QueryNamespace() const override;
    // Empties Properties (AllProperties stays).
    void ClearObjectProperties() override;
    void LoadObjectProperties(int index) override;

private:
    struct TParsedObject
    {
        QStringList properties;
        QString text;
        quint64 activation = 0; // the last activation that had this text
    };

    QString FSQL;
    QStringList FProperties;
    QString FPropertiesText;
    // By object text: what this activation and the one before parsed.
    QHash<QString, TParsedObject> FParsed;
    quint64 FActivation = 0;
};
