// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusAnswer.h"

#include "wbem/VisibleText.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <optional>

namespace platform {

namespace {

using nlohmann::json;

// The first line of an answer that is not what was expected, cut short and
// made visible: the server's own words, whatever they are.
std::string serverWords(std::string_view body)
{
    // A web page says best in its title what it is.
    if (const std::size_t open = body.find("<title>"); open != std::string_view::npos) {
        const std::size_t from = open + 7;
        const std::size_t close = body.find("</title>", from);
        if (close != std::string_view::npos && close > from)
            body = body.substr(from, close - from);
    }
    std::size_t start = body.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return {};
    body.remove_prefix(start);
    body = body.substr(0, body.find_first_of("\r\n"));
    std::string words = VisibleText(body.substr(0, 200));
    if (body.size() > 200)
        words += "...";
    return words;
}

[[noreturn]] void notPrometheus(std::string_view body)
{
    std::string message = "The server's answer is not a Prometheus query result";
    if (std::string words = serverWords(body); !words.empty())
        message += ": " + words;
    throw PrometheusAnswerError(message);
}

std::optional<double> parseValue(std::string_view s)
{
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    double d = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), d);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return d;
}

// Follows the events of the JSON parser through the envelope
//   {"status": ..., "errorType": ..., "error": ...,
//    "data": {"resultType": ..., "result": [{"metric": {...}, "value": [t, "v"]}, ...]}}
// keeping the few texts of the envelope and one sample per result item.
// Whatever else an answer holds is passed over as it streams by.
class VectorReader : public nlohmann::json_sax<json>
{
public:
    explicit VectorReader(PrometheusBudget &budget) : m_budget(budget) {}

    enum class Stop { None, NotJson, Malformed, TooManySeries, Deadline };
    Stop stopped = Stop::None;
    std::optional<std::string> status, errorType, error, resultType;
    bool haveResult = false;
    std::vector<PrometheusSample> samples;

    bool null() override { return scalar(Scalar{}); }
    bool boolean(bool) override { return scalar(Scalar{}); }
    bool number_integer(number_integer_t v) override { return scalar(Scalar{Scalar::Number, double(v)}); }
    bool number_unsigned(number_unsigned_t v) override { return scalar(Scalar{Scalar::Number, double(v)}); }
    bool number_float(number_float_t v, const string_t &) override { return scalar(Scalar{Scalar::Number, v}); }
    bool string(string_t &v) override { return scalar(Scalar{Scalar::Text, 0, &v}); }
    bool binary(binary_t &) override { return scalar(Scalar{}); }

    bool start_object(std::size_t) override
    {
        if (!tick())
            return false;
        if (m_skip > 0) {
            ++m_skip;
            return true;
        }
        if (m_stack.empty())
            return enter(Frame::Top);
        Frame &f = m_stack.back();
        switch (f.kind) {
        case Frame::Top:
            return f.key == "data" ? enter(Frame::Data) : skip();
        case Frame::Data:
            return skip();
        case Frame::Result:
            if (m_budget.series == 0)
                return stop(Stop::TooManySeries);
            --m_budget.series;
            m_sample = PrometheusSample{};
            m_haveMetric = false;
            m_valueItems = 0;
            return enter(Frame::Item);
        case Frame::Item:
            if (f.key == "metric") {
                m_haveMetric = true;
                return enter(Frame::Metric);
            }
            return f.key == "value" ? stop(Stop::Malformed) : skip();
        case Frame::Metric:
        case Frame::Value:
            return stop(Stop::Malformed);
        }
        return false;
    }

    bool start_array(std::size_t) override
    {
        if (!tick())
            return false;
        if (m_skip > 0) {
            ++m_skip;
            return true;
        }
        if (m_stack.empty())
            return stop(Stop::Malformed);
        Frame &f = m_stack.back();
        switch (f.kind) {
        case Frame::Top:
            return skip();
        case Frame::Data:
            if (f.key == "result") {
                haveResult = true;
                return enter(Frame::Result);
            }
            return skip();
        case Frame::Item:
            if (f.key == "value") {
                m_valueItems = 0;
                return enter(Frame::Value);
            }
            return f.key == "metric" ? stop(Stop::Malformed) : skip();
        case Frame::Result:
        case Frame::Metric:
        case Frame::Value:
            return stop(Stop::Malformed);
        }
        return false;
    }

    bool end_object() override { return leave(); }
    bool end_array() override { return leave(); }

    bool key(string_t &k) override
    {
        if (m_skip == 0 && !m_stack.empty())
            m_stack.back().key = std::move(k);
        return true;
    }

    bool parse_error(std::size_t, const std::string &, const nlohmann::detail::exception &) override
    {
        return stop(Stop::NotJson);
    }

private:
    struct Frame
    {
        enum Kind { Top, Data, Result, Item, Metric, Value } kind;
        std::string key; // the last key read in an object
    };
    struct Scalar
    {
        enum Kind { Other, Number, Text } kind = Other;
        double number = 0;
        std::string *text = nullptr;
    };

    bool stop(Stop why)
    {
        stopped = why;
        return false;
    }
    bool enter(Frame::Kind kind)
    {
        m_stack.push_back(Frame{kind, {}});
        return true;
    }
    bool skip()
    {
        m_skip = 1;
        return true;
    }
    // The deadline is looked at every few thousand events: often enough to
    // stop a long answer within milliseconds, rarely enough to cost nothing.
    bool tick()
    {
        if (++m_events % 4096 == 0 && std::chrono::steady_clock::now() > m_budget.deadline)
            return stop(Stop::Deadline);
        return true;
    }

    bool leave()
    {
        if (m_skip > 0) {
            --m_skip;
            return true;
        }
        if (m_stack.empty())
            return stop(Stop::Malformed);
        const Frame::Kind kind = m_stack.back().kind;
        m_stack.pop_back();
        if (kind == Frame::Value && m_valueItems != 2)
            return stop(Stop::Malformed);
        if (kind == Frame::Item) {
            if (!m_haveMetric || m_valueItems != 2)
                return stop(Stop::Malformed);
            // The parser hands keys over in the order of the text; a label
            // named twice keeps its last value, as a JSON object would.
            std::stable_sort(m_sample.labels.begin(), m_sample.labels.end(),
                             [](const auto &a, const auto &b) { return a.first < b.first; });
            auto &labels = m_sample.labels;
            for (std::size_t i = 0; i + 1 < labels.size();)
                if (labels[i].first == labels[i + 1].first)
                    labels.erase(labels.begin() + static_cast<std::ptrdiff_t>(i));
                else
                    ++i;
            samples.push_back(std::move(m_sample));
        }
        return tick();
    }

    bool scalar(const Scalar &v)
    {
        if (!tick())
            return false;
        if (m_skip > 0)
            return true;
        if (m_stack.empty())
            return stop(Stop::Malformed);
        Frame &f = m_stack.back();
        const auto text = [&v](std::optional<std::string> &into) {
            if (v.kind == Scalar::Text)
                into = std::move(*v.text);
            else
                into = std::nullopt;
            return true;
        };
        switch (f.kind) {
        case Frame::Top:
            if (f.key == "status")
                return text(status) && (status || stop(Stop::Malformed));
            if (f.key == "errorType")
                return text(errorType);
            if (f.key == "error")
                return text(error);
            return true;
        case Frame::Data:
            if (f.key == "resultType")
                return text(resultType);
            return f.key == "result" ? stop(Stop::Malformed) : true;
        case Frame::Result:
            return stop(Stop::Malformed);
        case Frame::Item:
            return f.key == "metric" || f.key == "value" ? stop(Stop::Malformed) : true;
        case Frame::Metric:
            if (v.kind != Scalar::Text)
                return stop(Stop::Malformed);
            m_sample.labels.emplace_back(std::move(f.key), std::move(*v.text));
            return true;
        case Frame::Value:
            if (m_valueItems == 0 && v.kind == Scalar::Number) {
                m_sample.time = v.number;
            } else if (m_valueItems == 1 && v.kind == Scalar::Text) {
                const std::optional<double> d = parseValue(*v.text);
                if (!d)
                    return stop(Stop::Malformed);
                m_sample.value = *d;
            } else {
                return stop(Stop::Malformed);
            }
            ++m_valueItems;
            return true;
        }
        return false;
    }

    PrometheusBudget &m_budget;
    std::vector<Frame> m_stack;
    std::size_t m_skip = 0; // depth inside a part that is passed over
    std::size_t m_events = 0;
    PrometheusSample m_sample;
    bool m_haveMetric = false;
    int m_valueItems = 0;
};

} // namespace

const std::string *PrometheusSample::Label(std::string_view name) const
{
    const auto it = std::lower_bound(labels.begin(), labels.end(), name,
                                     [](const auto &label, std::string_view n) { return label.first < n; });
    return it != labels.end() && it->first == name ? &it->second : nullptr;
}

std::vector<PrometheusSample> ParsePrometheusVector(std::string_view body, PrometheusBudget &budget)
{
    if (body.size() > kMaxPrometheusAnswerBytes)
        throw PrometheusAnswerError("The server's answer is larger than "
                                    + std::to_string(kMaxPrometheusAnswerBytes >> 20)
                                    + " MiB, the most one query reads");
    VectorReader reader(budget);
    json::sax_parse(body.begin(), body.end(), &reader);
    switch (reader.stopped) {
    case VectorReader::Stop::None:
        break;
    case VectorReader::Stop::Deadline:
        throw PrometheusDeadlineError("The answer was not read by the deadline");
    case VectorReader::Stop::TooManySeries:
        throw PrometheusAnswerError("The server's answers hold more than " + std::to_string(kMaxPrometheusSeries)
                                    + " series, the most one query reads");
    case VectorReader::Stop::NotJson:
        notPrometheus(body);
    case VectorReader::Stop::Malformed:
        // A refusal says what it is even where the rest is odd.
        if (reader.status != "error")
            notPrometheus(body);
        break;
    }
    if (!reader.status)
        notPrometheus(body);
    if (*reader.status == "error") {
        std::string message = "Prometheus refused the query";
        if (reader.errorType)
            message += " (" + VisibleText(*reader.errorType) + ")";
        if (reader.error)
            message += ": " + VisibleText(*reader.error);
        throw PrometheusAnswerError(message);
    }
    if (*reader.status != "success" || reader.resultType != "vector" || !reader.haveResult)
        notPrometheus(body);
    return std::move(reader.samples);
}

std::vector<PrometheusSample> ParsePrometheusVector(std::string_view body)
{
    PrometheusBudget budget;
    return ParsePrometheusVector(body, budget);
}

} // namespace platform
