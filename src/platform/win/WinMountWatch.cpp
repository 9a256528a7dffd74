// SPDX-License-Identifier: MIT
// Windows has no mount table to watch: drive letters come and go with
// WM_DEVICECHANGE broadcasts to top-level windows, which the widget does not
// listen to; its refresh timer finds new drives instead.
#include "platform/MountWatch.h"

namespace platform {

MountTableWatch::MountTableWatch(const std::string &path)
    : m_path(path), m_error("no mount table to watch on this system")
{}

MountTableWatch::~MountTableWatch() = default;

void MountTableWatch::Acknowledge() {}

} // namespace platform
