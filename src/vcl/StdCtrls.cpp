// SPDX-License-Identifier: MIT
#include "vcl/StdCtrls.h"

TLabel::TLabel(QWidget *owner) : QLabel(owner) {}
