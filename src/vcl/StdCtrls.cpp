// SPDX-License-Identifier: MIT
#include "vcl/StdCtrls.h"

#include "vcl/PlainText.h"

TLabel::TLabel(QWidget *owner) : QLabel(owner)
{
    // Captions come from forms and translations: shown as written.
    setTextFormat(Qt::PlainText);
}

void TLabel::SetHint(const QString &value)
{
    FHint = value;
    setToolTip(vcl::PlainToolTip(value));
}
