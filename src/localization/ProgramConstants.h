// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class TVLang_Constants;

// The Qt resource folder that stands for the program module's RCDATA
// resources (":/rcdata/VLANG_CONSTS").
QString ProgramResourceModule();

// The program's named constants: one process-wide map, loaded on first use
// from the constants block "VLANG_CONSTS" with every current text at its
// default. The language manager switches its current texts (TranslateFrom).
// A missing block leaves the map empty.
TVLang_Constants &ProgramConstants();
