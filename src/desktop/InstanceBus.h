// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <functional>
#include <memory>

// The single instance on the session bus: the well-known name kBusName (the
// bus drops it with the process) and the freedesktop
// org.freedesktop.Application interface at kBusPath; a second start calls its
// Activate and the running instance comes to the front. The lock file and the
// socket that guard a session without a bus are the shell's
// (shell/ControlInstance); Windows guards with its named mutex
// (platform/win/WinInstance.cpp).
namespace InstanceBus {

// The application id of the desktop entry and the AppStream data, as the
// freedesktop conventions want it for the name on the session bus.
inline constexpr char kBusName[] = "com.brindlewick.Velmora";
inline constexpr char kBusPath[] = "/com/brindlewick/Velmora";

// NoBus when no session bus answers or it refuses the name (and always where
// Qt has no D-Bus); First with the name held by busName (whose Activate and
// Open call raise; ActivateAction is refused, the widget has no actions)
// until busName is destroyed; HandedOver once the owner of the name answered
// Activate; OtherRunning when it did not.
enum class TBusCheck { NoBus, First, HandedOver, OtherRunning };
TBusCheck AcquireBusName(std::function<void()> raise, std::unique_ptr<QObject> &busName);

} // namespace InstanceBus
