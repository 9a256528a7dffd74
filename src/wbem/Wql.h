// SPDX-License-Identifier: MIT
#pragma once

// A parser and evaluator for the subset of WQL that a data query needs:
//
//   SELECT * | Prop [, Prop ...] FROM Class [WHERE condition]
//
// condition: comparisons (=, <>, !=, <, >, <=, >=) between a property and a
// literal (either side), Prop IS [NOT] NULL, AND, OR, NOT and parentheses.
// Literals: strings in single or double quotes (a backslash takes the next
// character literally, as WQL requires for "C:\\"), integers with an optional
// sign, TRUE, FALSE and NULL. Keywords, class and property names compare
// without regard to ASCII letter case, as in WMI.
//
// Plain C++, no system calls; the query text is untrusted: every malformed
// query gives WqlSyntaxError, never a crash, and nesting is bounded.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace platform {

class WqlSyntaxError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A property value or literal. Unsigned 64-bit figures (Size) and signed
// literals meet in Integer through a 128-bit-free comparison, see Wql.cpp.
struct WqlNull
{};
struct WqlInteger
{
    bool negative = false; // only literals are negative
    std::uint64_t magnitude = 0;
};
using WqlValue = std::variant<WqlNull, std::string, WqlInteger, bool>;

WqlValue WqlUnsigned(std::uint64_t v);

enum class WqlOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual, IsNull, IsNotNull };

struct WqlCondition
{
    enum class Kind { Compare, And, Or, Not };
    Kind kind = Kind::Compare;
    // Compare: property op literal (a literal written on the left is turned
    // around when parsing, so 3 < DriveType becomes DriveType > 3).
    std::string property;
    WqlOp op = WqlOp::Equal;
    WqlValue literal;
    // And / Or: both; Not: left only.
    std::unique_ptr<WqlCondition> left, right;
};

struct WqlQuery
{
    std::vector<std::string> properties; // empty for SELECT *
    std::string className;
    std::unique_ptr<WqlCondition> where; // null when there is none
};

// Throws WqlSyntaxError on any malformed query.
WqlQuery ParseWql(std::string_view text);

// Every property name a condition mentions, in order of appearance.
std::vector<std::string> WqlConditionProperties(const WqlCondition &condition);

// Evaluates a condition; lookup gives a property's value (WqlNull when the
// object has none). A comparison with NULL is never true (use IS NULL);
// strings compare without regard to ASCII letter case, as WMI does; a string
// and an integer compare as integers when the string is one, otherwise the
// comparison is false.
using WqlLookup = std::function<WqlValue(const std::string &property)>;
bool EvaluateWql(const WqlCondition &condition, const WqlLookup &lookup);

bool WqlNamesEqual(std::string_view a, std::string_view b);

} // namespace platform
