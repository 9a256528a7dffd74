// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusWbemService.h"

#include "platform/linux/LinuxLogicalDisk.h"
#include "platform/linux/LinuxVolumeProbe.h"
#include "platform/prometheus/PrometheusDisks.h"
#include "platform/prometheus/PrometheusHttp.h"

#include <chrono>

namespace platform {

namespace {

constexpr std::int32_t code(std::uint32_t hresult)
{
    return static_cast<std::int32_t>(hresult);
}
constexpr std::int32_t kFailed = code(0x80041001u);
constexpr std::int32_t kInvalidNamespace = code(0x8004100Eu);
constexpr std::int32_t kInvalidClass = code(0x80041010u);
constexpr std::int32_t kInvalidQuery = code(0x80041017u);
constexpr std::int32_t kAccessDenied = code(0x80070005u);
constexpr std::int32_t kRpcUnavailable = code(0x800706BAu);

class TextObject : public WbemObject
{
public:
    explicit TextObject(std::string text) : m_text(std::move(text)) {}
    std::string GetObjectText() const override { return m_text; }

private:
    std::string m_text;
};

class TextObjectSet : public WbemObjectSet
{
public:
    explicit TextObjectSet(std::vector<std::string> texts) : m_texts(std::move(texts)) {}
    std::unique_ptr<WbemObject> Next() override
    {
        if (m_next >= m_texts.size())
            return nullptr;
        return std::make_unique<TextObject>(std::move(m_texts[m_next++]));
    }

private:
    std::vector<std::string> m_texts;
    std::size_t m_next = 0;
};

class PrometheusWbemServices : public WbemServices
{
public:
    PrometheusWbemServices(PrometheusEndpoint endpoint, WbemCredentials credentials)
        : m_endpoint(std::move(endpoint)), m_credentials(std::move(credentials)) {}

    std::unique_ptr<WbemObjectSet> ExecQuery(const std::string &wql) override
    {
        WqlQuery query;
        try {
            query = ParseWql(wql);
        } catch (const WqlSyntaxError &) {
            throw WbemError("Invalid query", kInvalidQuery);
        }
        if (!WqlNamesEqual(query.className, kLogicalDiskClass))
            throw WbemError("Invalid class", kInvalidClass);
        std::vector<std::string> named = query.properties;
        if (query.where)
            for (std::string &p : WqlConditionProperties(*query.where))
                named.push_back(std::move(p));
        for (const std::string &p : named)
            if (LinuxLogicalDiskPropertyName(p).empty())
                throw WbemError("Invalid query", kInvalidQuery);

        // SystemName comparisons narrow the series asked for; the whole
        // condition is still evaluated on the objects below.
        const std::string selector = PrometheusSelector(query.where.get());
        std::vector<std::string> promql;
        for (std::size_t f = 0; f < kPrometheusFamilies; ++f)
            promql.push_back(PrometheusFamilyQuery(static_cast<PrometheusFamily>(f), selector));

        std::vector<std::string> bodies;
        try {
            bodies = PostPrometheusQueries(m_endpoint, PrometheusLogin{m_credentials.user, m_credentials.password},
                                           promql, LinuxStatfsDeadline(), kMaxPrometheusAnswerBytes);
        } catch (const PrometheusHttpError &e) {
            switch (e.kind()) {
            case PrometheusHttpError::Kind::Unreachable: throw WbemError(e.what(), kRpcUnavailable);
            case PrometheusHttpError::Kind::Denied: throw WbemError(e.what(), kAccessDenied);
            case PrometheusHttpError::Kind::Failed: break;
            }
            throw WbemError(e.what(), kFailed);
        }
        const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
        std::array<std::vector<PrometheusSample>, kPrometheusFamilies> answers;
        try {
            for (std::size_t f = 0; f < kPrometheusFamilies; ++f)
                answers[f] = ParsePrometheusVector(bodies[f]);
        } catch (const PrometheusAnswerError &e) {
            throw WbemError("Prometheus at " + m_endpoint.DisplayUrl() + ": " + e.what(), kFailed);
        }
        bodies.clear();
        return std::make_unique<TextObjectSet>(RenderLinuxLogicalDisks(query, BuildPrometheusDisks(answers, now)));
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
        return host.size() > scheme.size() && WqlNamesEqual(std::string_view(host).substr(0, scheme.size()), scheme);
    };
    return startsWith("http://") || startsWith("https://");
}

std::unique_ptr<WbemServices> PrometheusWbemLocator::ConnectServer(const std::string &host,
                                                                  const std::string &nameSpace)
{
    if (!isDefaultNamespace(nameSpace))
        throw WbemError("Invalid namespace", kInvalidNamespace);
    try {
        return std::make_unique<PrometheusWbemServices>(PrometheusEndpoint(host), m_credentials);
    } catch (const std::invalid_argument &e) {
        throw WbemError(e.what(), kRpcUnavailable);
    }
}

} // namespace platform
