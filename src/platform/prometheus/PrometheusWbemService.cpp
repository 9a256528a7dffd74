// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusWbemService.h"

#include "platform/WbemTextObjects.h"
#include "platform/linux/LinuxLogicalDisk.h"
#include "platform/linux/LinuxVolumeProbe.h"
#include "platform/prometheus/PrometheusDisks.h"
#include "platform/prometheus/PrometheusHttp.h"
#include "platform/prometheus/PrometheusTrends.h"

#include <chrono>

namespace platform {

namespace {

class PrometheusWbemServices : public WbemServices
{
public:
    PrometheusWbemServices(PrometheusEndpoint endpoint, WbemCredentials credentials)
        : m_endpoint(std::move(endpoint)), m_credentials(std::move(credentials))
    {}

    std::unique_ptr<WbemObjectSet> ExecQuery(const std::string &wql) override
    {
        const bool trends = IsDiskTrendQuery(wql);
        const WqlQuery query = trends ? ParseDiskTrendQuery(wql) : ParseLogicalDiskQuery(wql);

        // SystemName comparisons narrow the series asked for; the whole
        // condition is still evaluated on the objects below.
        const std::string selector = PrometheusSelector(query.where.get());
        std::vector<std::string> promql;
        for (std::size_t f = 0; f < kPrometheusFamilies; ++f)
            promql.push_back(PrometheusFamilyQuery(static_cast<PrometheusFamily>(f), selector));
        if (trends)
            for (std::size_t q = 0; q < kPrometheusTrendQueries; ++q)
                promql.push_back(PrometheusTrendQueryText(static_cast<PrometheusTrendQuery>(q), selector));

        std::vector<std::string> bodies;
        try {
            bodies = PostPrometheusQueries(m_endpoint, PrometheusLogin{m_credentials.user, m_credentials.password},
                                           promql, LinuxStatfsDeadline(), kMaxPrometheusAnswerBytes);
        } catch (const PrometheusHttpError &e) {
            switch (e.kind()) {
            case PrometheusHttpError::Kind::Unreachable:
                throw WbemError(e.what(), wbem_code::RpcUnavailable);
            case PrometheusHttpError::Kind::Denied:
                throw WbemError(e.what(), wbem_code::AccessDenied);
            case PrometheusHttpError::Kind::Failed:
                break;
            }
            throw WbemError(e.what(), wbem_code::Failed);
        }
        const double now =
            std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        std::array<std::vector<PrometheusSample>, kPrometheusFamilies> answers;
        std::array<std::vector<PrometheusSample>, kPrometheusTrendQueries> trendAnswers;
        try {
            for (std::size_t f = 0; f < kPrometheusFamilies; ++f)
                answers[f] = ParsePrometheusVector(bodies[f]);
            if (trends)
                for (std::size_t q = 0; q < kPrometheusTrendQueries; ++q)
                    trendAnswers[q] = ParsePrometheusVector(bodies[kPrometheusFamilies + q]);
        } catch (const PrometheusAnswerError &e) {
            throw WbemError("Prometheus at " + m_endpoint.DisplayUrl() + ": " + e.what(), wbem_code::Failed);
        }
        bodies.clear();
        if (trends)
            return std::make_unique<TextWbemObjectSet>(
                RenderDiskTrends(query, BuildPrometheusTrends(answers, trendAnswers, now)));
        return std::make_unique<TextWbemObjectSet>(
            RenderLinuxLogicalDisks(query, BuildPrometheusDisks(answers, now)));
    }

private:
    PrometheusEndpoint m_endpoint;
    WbemCredentials m_credentials;
};

bool isDefaultNamespace(const std::string &ns)
{
    return ns.empty() || WqlNamesEqual(ns, "root\\cimv2") || WqlNamesEqual(ns, "root/cimv2");
}

} // namespace

bool IsPrometheusHost(const std::string &host)
{
    const auto startsWith = [&host](std::string_view scheme) {
        return host.size() > scheme.size()
            && WqlNamesEqual(std::string_view(host).substr(0, scheme.size()), scheme);
    };
    return startsWith("http://") || startsWith("https://");
}

std::unique_ptr<WbemServices> PrometheusWbemLocator::ConnectServer(const std::string &host,
                                                                   const std::string &nameSpace)
{
    if (!isDefaultNamespace(nameSpace))
        throw WbemError("Invalid namespace", wbem_code::InvalidNamespace);
    try {
        return std::make_unique<PrometheusWbemServices>(PrometheusEndpoint(host), m_credentials);
    } catch (const std::invalid_argument &e) {
        throw WbemError(e.what(), wbem_code::RpcUnavailable);
    } catch (const PrometheusHttpError &e) { // no libcurl to reach it with
        throw WbemError(e.what(), wbem_code::RpcUnavailable);
    }
}

} // namespace platform
