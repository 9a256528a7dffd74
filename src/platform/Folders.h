// SPDX-License-Identifier: MIT
#pragma once

// Where the user's settings and the program's own data files live. Paths are
// UTF-8 text; empty text means the system cannot tell.

#include <string>

namespace platform {

// The folder under which programs keep the user's settings.
// Linux: $XDG_CONFIG_HOME (cleaned) when it is an absolute path, else
// $HOME/.config (the XDG Base Directory rule: a relative value is invalid).
// Windows: the roaming application-data folder (CSIDL_APPDATA).
std::string UserConfigFolder();

// The folder of this program's own data files (user translations, say).
// Linux: Velmora under $XDG_DATA_HOME when it is an absolute path, else under
// $HOME/.local/share. Windows: Brindlewick\Velmora under %APPDATA%; empty when
// the variable is not set.
std::string ProgramDataFolder();

// The folder of this program's state: what it keeps for itself between runs
// and the user may delete (the drive history). Linux: velmora under
// $XDG_STATE_HOME when it is an absolute path, else under
// $HOME/.local/state. Windows: Velmora under %LOCALAPPDATA% (state stays on
// this machine, it does not roam); empty when the variable is not set.
std::string ProgramStateFolder();

// The separator that paths of this system are written with: '/' or '\'.
char PathSeparator();

} // namespace platform
