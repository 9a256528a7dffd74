// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>
#include <memory>

// The single instance on the session bus: the well-known name kBusName (the
// bus drops it with the process) and the freedesktop
// org.freedesktop.Application interface at kBusPath, through which a desktop
// (or a second start whose socket did not answer) brings the running
// instance to the front. The lock file and the socket that guard the session,
// with or without a bus, are the shell's (shell/ControlInstance); Windows
// guards with its named mutex (platform/win/WinInstance.cpp).
namespace InstanceBus {

// The application id of the desktop entry and the AppStream data, as the
// freedesktop conventions want it for the name on the session bus.
inline constexpr char kBusName[] = "com.brindlewick.Velmora";
inline constexpr char kBusPath[] = "/com/brindlewick/Velmora";

// NoBus when no session bus answers or it refuses the name (and always where
// Qt has no D-Bus); First with the name held by busName (whose Activate and
// Open call raise; ActivateAction is refused, the widget has no actions)
// until busName is destroyed; Taken when another connection owns the name.
enum class TBusCheck { NoBus, First, Taken };
TBusCheck AcquireBusName(std::function<void()> raise, std::unique_ptr<QObject> &busName);
// Calls Activate on the owner of the name; true once it answered.
bool ActivateOverBus();

} // namespace InstanceBus
