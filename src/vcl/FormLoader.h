// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QObject;

namespace vcl {

// Finishes the reading of a window definition whose components the window's
// constructor has just created: every component enters the loading state,
// each binary block stored as the resource ":/forms/<formName>/<component>.<block>"
// is handed to its component (in definition order of the components), then
// Loaded runs on every component in definition order.
//
// A block whose component does not exist or does not take it is logged and
// skipped. Errors raised by a component while it reads a block or in Loaded
// pass on to the caller (the creation of the window fails).
// Returns the number of blocks handed over.
int LoadWindowDefinition(QObject *window, const QString &formName);

} // namespace vcl
