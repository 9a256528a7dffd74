// SPDX-License-Identifier: MIT
#pragma once

// The locator that answers the drive query on this system: the system's own
// service (linux/ or win/), a Prometheus server for an http(s):// host, or
// the file-fed service of the tests.

#include "wbem/WbemService.h"

#include <memory>
#include <optional>
#include <string>

namespace platform {

// The locator of this system. When the environment variable
// VELMORA_FAKE_WBEM names a file, a locator that serves the object texts of
// that file instead (for tests of the window's refresh cycle; see
// wbem/fake/FakeWbemService.h).
std::unique_ptr<WbemLocator> CreateWbemLocator();
// The same with credentials. A host that is an http:// or https:// address
// names a Prometheus server whose exporters' file systems are the answer (see
// prometheus/PrometheusWbemService.h); every other host goes to the locator
// of this system.
std::unique_ptr<WbemLocator> CreateWbemLocator(const WbemCredentials &credentials);

// The reader of the file-fed service: the file's bytes, nothing when it does
// not exist; WbemError for a file that cannot be read or is larger than
// 16 MiB.
std::optional<std::string> ReadFakeWbemFile(const std::string &path);

} // namespace platform
