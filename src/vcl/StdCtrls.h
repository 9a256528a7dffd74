// SPDX-License-Identifier: MIT
#pragma once

#include "vcl/Persistent.h"

#include <QLabel>

// A text label. Visible is the label's own flag (Qt's isHidden), not whether
// it is on the screen at the moment.
class TLabel : public QLabel, public vcl::TComponentBase
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(qint64 Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool Visible READ Visible WRITE SetVisible)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)

public:
    explicit TLabel(QWidget *owner = nullptr);

    QString Caption() const { return text(); }
    void SetCaption(const QString &value) { setText(value); }
    QString Hint() const { return FHint; }
    // Shown as a tool tip exactly as written (vcl::PlainToolTip).
    void SetHint(const QString &value);
    qint64 Tag() const { return FTag; }
    void SetTag(qint64 value) { FTag = value; }
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool value) { setVisible(value); }
    bool Enabled() const { return isEnabled(); }
    void SetEnabled(bool value) { setEnabled(value); }

private:
    QString FHint;
    qint64 FTag = 0;
};
