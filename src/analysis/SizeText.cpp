// SPDX-License-Identifier: MIT
#include "analysis/SizeText.h"

#include "panels/frDisco.h"

QString SizeText(quint64 bytes)
{
    return TFrameDrive::FigureText(bytes, TFrameDrive::UnitFor(bytes));
}
