// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// A size as the widget writes its figures ("943 MB", "45 GB"): the panel's
// own formatting, in the unit the size itself calls for.
QString SizeText(quint64 bytes);
