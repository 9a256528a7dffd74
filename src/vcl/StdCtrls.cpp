// SPDX-License-Identifier: MIT
#include "vcl/StdCtrls.h"

TLabel::TLabel(QWidget *owner) : QLabel(owner)
{
    // Captions come from forms and translations: shown as written.
    setTextFormat(Qt::PlainText);
}
