// SPDX-License-Identifier: MIT
#pragma once

#include "wbem/MofText.h"
#include "wbem/Wql.h"

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A class's objects as a query asks for them: those its WHERE clause keeps,
// each written as object text with all its properties (SELECT *) or with the
// ones named in `keep` (the property list and the keys a class always
// answers with).
std::vector<std::string> RenderSelectedInstances(std::string_view className, const WqlQuery &query,
                                                 const std::set<std::string> &keep,
                                                 const std::vector<std::vector<MofProperty>> &objects);

} // namespace platform
