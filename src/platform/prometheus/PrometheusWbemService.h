// SPDX-License-Identifier: MIT
#pragma once

#include "wbem/WbemService.h"

#include <string>

namespace platform {

// True for a host that names a Prometheus server: an http:// or https:// URL
// (the scheme in any letter case).
bool IsPrometheusHost(const std::string &host);

// Serves Win32_LogicalDisk in root\cimv2 from a Prometheus server: every
// file system that node_exporter or windows_exporter reports for an instance
// is one object (see PrometheusDisks.h for the properties and the failing
// instances).
//
// Each ExecQuery sends one instant query per metric family, all at once,
// with the user and password as HTTP Basic credentials, or those of ~/.netrc
// for the server when they are empty. The whole query (transfer,
// decompression, reading the answers, building the drives) runs on a worker
// under the deadline of a local mount (DriveQueryDeadline, 1 s) and within
// bounds of memory (PrometheusQuery.h); ExecQuery waits for it no longer than
// the query of local drives waits (DriveQueryWaitNow: the whole deadline for a
// command-line tool, a few tens of milliseconds for a window) and otherwise
// returns the last answer, as a late local drive shows its last figures.
// Every failure is a WbemError with the server's own words where it gave
// any, made visible (VisibleText.h):
//   0x800706BA  the server cannot be reached or does not answer in time
//   0x80070005  HTTP 401 / 403 (a wrong user or password)
//   0x80041001  any other HTTP error, an answer that is not Prometheus'
//   0x80041017 / 0x80041010 / 0x8004100E  bad query / class / namespace,
//               as the local service gives them
class PrometheusWbemLocator : public WbemLocator
{
public:
    explicit PrometheusWbemLocator(WbemCredentials credentials = {}) : m_credentials(std::move(credentials)) {}
    std::unique_ptr<WbemServices> ConnectServer(const std::string &host, const std::string &nameSpace) override;

private:
    WbemCredentials m_credentials;
};

} // namespace platform
