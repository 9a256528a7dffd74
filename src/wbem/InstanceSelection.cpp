// SPDX-License-Identifier: MIT
#include "wbem/InstanceSelection.h"

namespace platform {

namespace {

// A property's value as WQL compares it. Figures are written by the classes
// themselves: an optional '-' then digits.
WqlValue ValueOf(const MofProperty &p)
{
    switch (p.type) {
    case MofType::String:
        return p.text;
    case MofType::Boolean:
        return p.text == "TRUE";
    case MofType::UInt64:
    case MofType::Number: {
        WqlInteger v;
        std::size_t at = 0;
        if (!p.text.empty() && p.text[0] == '-') {
            v.negative = true;
            at = 1;
        }
        v.magnitude = std::stoull(p.text.substr(at));
        if (v.magnitude == 0)
            v.negative = false;
        return v;
    }
    }
    return WqlNull{};
}

} // namespace

std::vector<std::string> RenderSelectedInstances(std::string_view className, const WqlQuery &query,
                                                 const std::set<std::string> &keep,
                                                 const std::vector<std::vector<MofProperty>> &objects)
{
    std::vector<std::string> texts;
    for (const std::vector<MofProperty> &object : objects) {
        if (query.where) {
            const auto lookup = [&object](const std::string &name) -> WqlValue {
                for (const MofProperty &p : object)
                    if (WqlNamesEqual(p.name, name))
                        return ValueOf(p);
                return WqlNull{};
            };
            if (!EvaluateWql(*query.where, lookup))
                continue;
        }
        if (keep.empty()) {
            texts.push_back(RenderMofInstance(className, object));
            continue;
        }
        std::vector<MofProperty> projected;
        for (const MofProperty &p : object)
            if (keep.count(p.name))
                projected.push_back(p);
        texts.push_back(RenderMofInstance(className, projected));
    }
    return texts;
}

} // namespace platform
