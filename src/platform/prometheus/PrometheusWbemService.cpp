// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusWbemService.h"

#include "platform/DriveQueryWait.h"
#include "platform/prometheus/PrometheusDisks.h"
#include "platform/prometheus/PrometheusHttp.h"
#include "platform/prometheus/PrometheusQuery.h"
#include "wbem/DiskTrendClass.h"
#include "wbem/LogicalDisk.h"
#include "wbem/WbemTextObjects.h"

namespace platform {

namespace {

// Hands out each of the texts of an answer, which other queries may share.
class SharedTextObjectSet : public WbemObjectSet
{
public:
    explicit SharedTextObjectSet(std::shared_ptr<const std::vector<std::string>> texts) : m_texts(std::move(texts))
    {}
    std::unique_ptr<WbemObject> Next() override
    {
        if (m_next >= m_texts->size())
            return nullptr;
        return std::make_unique<TextWbemObject>((*m_texts)[m_next++]);
    }

private:
    std::shared_ptr<const std::vector<std::string>> m_texts;
    std::size_t m_next = 0;
};

class PrometheusWbemServices : public WbemServices
{
public:
    PrometheusWbemServices(PrometheusEndpoint endpoint, WbemCredentials credentials)
        : m_endpoint(std::move(endpoint)), m_credentials(std::move(credentials))
    {}

    std::unique_ptr<WbemObjectSet> ExecQuery(const std::string &wql) override
    {
        // A query that is not valid fails at once, as the local one does; one
        // that no instance can match needs no server.
        const WqlQuery query = IsDiskTrendQuery(wql) ? ParseDiskTrendQuery(wql) : ParseLogicalDiskQuery(wql);
        if (!PrometheusSelector(query.where.get()))
            return std::make_unique<TextWbemObjectSet>(std::vector<std::string>());
        return std::make_unique<SharedTextObjectSet>(
            AskPrometheus(m_endpoint, PrometheusLogin{m_credentials.user, m_credentials.password}, wql,
                          DriveQueryWaitNow(), DriveQueryDeadline()));
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
