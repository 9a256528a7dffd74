// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusQuery.h"

#include "platform/prometheus/PrometheusDisks.h"
#include "platform/prometheus/PrometheusTrends.h"
#include "wbem/DiskTrendClass.h"
#include "wbem/LogicalDisk.h"
#include "wbem/WbemTextObjects.h"

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// What one query came to.
struct Outcome
{
    std::shared_ptr<const std::vector<std::string>> texts; // null: failed
    std::string error;
    std::int32_t code = 0;
};

// The state of one query (server, login and text) between calls.
struct Query
{
    std::condition_variable done;
    bool running = false;
    std::uint64_t started = 0, finished = 0;
    int waiting = 0; // callers waiting for the running query
    Clock::time_point startedAt;
    Clock::time_point lastAsked;
    std::shared_ptr<const Outcome> last;
};

// Never destroyed: a worker may still be running when the process ends, and
// finds its state in place until the very end.
struct Registry
{
    std::mutex mutex;
    std::map<std::string, std::shared_ptr<Query>> queries;
    std::size_t workers = 0;
    int notice[2] = {-1, -1}; // the pipe of PrometheusFirstAnswerHandle
};

Registry &registry()
{
    static Registry *r = new Registry;
    return *r;
}

// The queries kept between calls; the ones asked longest ago and not running
// make room. A widget asks one query, a script a few.
constexpr std::size_t kKeptQueries = 16;

WbemError toWbemError(const PrometheusHttpError &e)
{
    switch (e.kind()) {
    case PrometheusHttpError::Kind::Unreachable:
        return WbemError(e.what(), wbem_code::RpcUnavailable);
    case PrometheusHttpError::Kind::Denied:
        return WbemError(e.what(), wbem_code::AccessDenied);
    case PrometheusHttpError::Kind::Failed:
        break;
    }
    return WbemError(e.what(), wbem_code::Failed);
}

std::string within(std::chrono::milliseconds deadline)
{
    return " did not answer within " + std::to_string(deadline.count()) + " ms";
}

void runWorker(std::shared_ptr<Query> query, std::uint64_t generation, PrometheusEndpoint endpoint,
               PrometheusLogin login, std::string wql, std::chrono::milliseconds deadline)
{
    auto outcome = std::make_shared<Outcome>();
    try {
        outcome->texts = std::make_shared<const std::vector<std::string>>(
            RunPrometheusQuery(endpoint, login, wql, deadline));
    } catch (const WbemError &e) {
        outcome->error = e.what();
        outcome->code = e.code();
    } catch (const std::bad_alloc &) {
        outcome->error = "Not enough memory for the answer of Prometheus at " + endpoint.DisplayUrl();
        outcome->code = wbem_code::Failed;
    } catch (const std::exception &e) {
        outcome->error = e.what();
        outcome->code = wbem_code::Failed;
    }
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (!query->last && query->waiting == 0 && r.notice[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(r.notice[1], &byte, 1); // full: a notice is pending
    }
    query->last = std::move(outcome);
    query->finished = generation;
    query->running = false;
    query->done.notify_all();
}

} // namespace

std::vector<std::string> RunPrometheusQuery(const PrometheusEndpoint &endpoint, const PrometheusLogin &login,
                                            const std::string &wql, std::chrono::milliseconds deadline)
{
    const Clock::time_point end = Clock::now() + deadline;
    // Velmora_DiskTrend asks the same families and the trend queries after them.
    const bool trends = IsDiskTrendQuery(wql);
    const WqlQuery query = trends ? ParseDiskTrendQuery(wql) : ParseLogicalDiskQuery(wql);
    // SystemName comparisons narrow the series asked for; the whole
    // condition is still evaluated on the objects below.
    const std::optional<std::string> selector = PrometheusSelector(query.where.get());
    if (!selector)
        return {};
    std::vector<std::string> promql;
    for (std::size_t f = 0; f < kPrometheusFamilies; ++f)
        promql.push_back(PrometheusFamilyQuery(static_cast<PrometheusFamily>(f), *selector));
    if (trends)
        for (std::size_t q = 0; q < kPrometheusTrendQueries; ++q)
            promql.push_back(PrometheusTrendQueryText(static_cast<PrometheusTrendQuery>(q), *selector));

    std::vector<std::string> bodies;
    try {
        bodies = PostPrometheusQueries(endpoint, login, promql, deadline, kMaxPrometheusAnswerBytes);
    } catch (const PrometheusHttpError &e) {
        throw toWbemError(e);
    }
    std::array<std::vector<PrometheusSample>, kPrometheusFamilies> answers;
    std::array<std::vector<PrometheusSample>, kPrometheusTrendQueries> trendAnswers;
    PrometheusBudget budget;
    budget.deadline = end;
    try {
        for (std::size_t f = 0; f < kPrometheusFamilies; ++f) {
            answers[f] = ParsePrometheusVector(bodies[f], budget);
            std::string().swap(bodies[f]);
        }
        if (trends)
            for (std::size_t q = 0; q < kPrometheusTrendQueries; ++q) {
                trendAnswers[q] = ParsePrometheusVector(bodies[kPrometheusFamilies + q], budget);
                std::string().swap(bodies[kPrometheusFamilies + q]);
            }
    } catch (const PrometheusDeadlineError &) {
        throw WbemError("Prometheus at " + endpoint.DisplayUrl() + within(deadline), wbem_code::RpcUnavailable);
    } catch (const PrometheusAnswerError &e) {
        throw WbemError("Prometheus at " + endpoint.DisplayUrl() + ": " + e.what(), wbem_code::Failed);
    }
    bodies.clear();
    std::vector<std::string> texts = trends ? RenderDiskTrends(query, BuildPrometheusTrends(answers, trendAnswers))
                                            : RenderLogicalDisks(query, BuildPrometheusDisks(answers));
    if (Clock::now() > end)
        throw WbemError("Prometheus at " + endpoint.DisplayUrl() + within(deadline), wbem_code::RpcUnavailable);
    return texts;
}

std::shared_ptr<const std::vector<std::string>> AskPrometheus(const PrometheusEndpoint &endpoint,
                                                              const PrometheusLogin &login, const std::string &wql,
                                                              std::chrono::milliseconds wait,
                                                              std::chrono::milliseconds deadline)
{
    std::string key = endpoint.QueryUrl();
    for (const std::string *part : {&login.user, &login.password, &wql})
        key.append(1, '\0').append(*part);

    Registry &r = registry();
    std::unique_lock<std::mutex> lock(r.mutex);
    std::shared_ptr<Query> &slot = r.queries[key];
    if (!slot)
        slot = std::make_shared<Query>();
    const std::shared_ptr<Query> query = slot;
    const Clock::time_point now = Clock::now();
    query->lastAsked = now;
    while (r.queries.size() > kKeptQueries) {
        auto oldest = r.queries.end();
        for (auto it = r.queries.begin(); it != r.queries.end(); ++it)
            if (!it->second->running && it->second != query
                && (oldest == r.queries.end() || it->second->lastAsked < oldest->second->lastAsked))
                oldest = it;
        if (oldest == r.queries.end())
            break;
        r.queries.erase(oldest);
    }

    if (!query->running) {
        const std::uint64_t generation = query->started + 1;
        try {
            std::thread(runWorker, query, generation, endpoint, login, wql, deadline).detach();
        } catch (const std::system_error &e) {
            throw WbemError(std::string("Cannot start a thread to ask Prometheus: ") + e.what(),
                            wbem_code::Failed);
        }
        query->running = true;
        query->started = generation;
        query->startedAt = now;
        ++r.workers;
    }
    const std::uint64_t awaited = query->started;
    const bool answered = query->done.wait_until(lock, now + wait,
                                                 [&query, awaited] { return query->finished >= awaited; });
    if (!answered && Clock::now() - query->startedAt >= deadline)
        throw WbemError("Prometheus at " + endpoint.DisplayUrl() + within(deadline), wbem_code::RpcUnavailable);
    const std::shared_ptr<const Outcome> outcome = query->last;
    lock.unlock();
    if (!outcome)
        throw WbemError("Prometheus at " + endpoint.DisplayUrl() + " has not answered yet",
                        wbem_code::RpcUnavailable);
    if (!outcome->texts)
        throw WbemError(outcome->error, outcome->code);
    return outcome->texts;
}

int PrometheusFirstAnswerHandle()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.notice[0] < 0 && ::pipe2(r.notice, O_CLOEXEC | O_NONBLOCK) != 0)
        r.notice[0] = r.notice[1] = -1;
    return r.notice[0];
}

void AcknowledgePrometheusFirstAnswers()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    char buffer[64];
    if (r.notice[0] >= 0)
        while (::read(r.notice[0], buffer, sizeof buffer) > 0) {}
}

std::size_t PrometheusQueriesStarted()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.workers;
}

} // namespace platform
