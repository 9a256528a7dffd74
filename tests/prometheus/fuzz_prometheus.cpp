// SPDX-License-Identifier: MIT
// Any bytes as a Prometheus answer: a result or PrometheusAnswerError, and a
// result always gives objects whose texts render.
#include "platform/prometheus/PrometheusDisks.h"
#include "wbem/MofText.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace platform;
    std::array<std::vector<PrometheusSample>, kPrometheusFamilies> answers;
    try {
        const auto samples = ParsePrometheusVector(std::string_view(reinterpret_cast<const char *>(data), size));
        // The same series as every family, so that sizes, figures and up meet.
        for (auto &family : answers)
            family = samples;
    } catch (const PrometheusAnswerError &) {
        return 0;
    }
    for (const auto &object : BuildPrometheusDisks(answers))
        (void)RenderMofInstance("Win32_LogicalDisk", object);
    return 0;
}
