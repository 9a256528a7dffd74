// SPDX-License-Identifier: MIT
#include "platform/ServerProbe.h"

#include "platform/prometheus/PrometheusQuery.h"
#include "wbem/PropertyLines.h"
#include "wbem/VisibleText.h"
#include "wbem/WbemTextObjects.h"

#include <set>
#include <stdexcept>

namespace platform {

bool CanAskDriveServers()
{
    return true;
}

ServerProbeResult ProbeDriveServer(const std::string &url, const std::string &user, const std::string &password,
                                   std::chrono::milliseconds deadline)
{
    ServerProbeResult result;
    try {
        const PrometheusEndpoint endpoint(url);
        const std::vector<std::string> texts = RunPrometheusQuery(
            endpoint, PrometheusLogin{user, password}, "SELECT Name, SystemName FROM Win32_LogicalDisk", deadline);
        std::set<std::string> machines;
        for (const std::string &text : texts)
            for (const auto &[name, value] : MofInstanceValues(text))
                if (name == "SystemName")
                    machines.insert(value);
        result.outcome = ServerProbeOutcome::Reached;
        result.drives = texts.size();
        result.machines = machines.size();
    } catch (const std::invalid_argument &e) {
        result.outcome = ServerProbeOutcome::BadAddress;
        result.detail = e.what();
    } catch (const WbemError &e) {
        result.detail = e.what();
        // The query's own words tell a deadline from a refusal: both are
        // "cannot be reached" to the drive query.
        if (e.code() == wbem_code::AccessDenied)
            result.outcome = ServerProbeOutcome::WrongPassword;
        else if (e.code() == wbem_code::RpcUnavailable)
            result.outcome = result.detail.find(" did not answer within ") != std::string::npos
                ? ServerProbeOutcome::TimedOut
                : ServerProbeOutcome::Refused;
        else
            result.outcome = ServerProbeOutcome::NotPrometheus;
    } catch (const std::exception &e) {
        result.outcome = ServerProbeOutcome::Unavailable;
        result.detail = VisibleText(e.what());
    }
    return result;
}

} // namespace platform
