// SPDX-License-Identifier: MIT
#include "wbem/Wql.h"

#include <cstddef>

namespace platform {

namespace {

// Deep enough for any hand-written query, shallow enough that a recursive
// descent over a hostile "((((..." cannot exhaust the stack.
constexpr int kMaxDepth = 100;

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isIdentStart(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct Token
{
    enum class Kind { End, Ident, String, Number, Star, Comma, LParen, RParen, Op };
    Kind kind = Kind::End;
    std::string text;      // identifier, unescaped string, digits, operator
    bool negative = false; // Number
};

class Lexer
{
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    Token next()
    {
        while (
            m_pos < m_text.size()
            && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' || m_text[m_pos] == '\r' || m_text[m_pos] == '\n'))
            ++m_pos;
        Token t;
        if (m_pos >= m_text.size())
            return t;
        const char c = m_text[m_pos];
        if (isIdentStart(c)) {
            const std::size_t start = m_pos;
            while (m_pos < m_text.size() && (isIdentStart(m_text[m_pos]) || isDigit(m_text[m_pos])))
                ++m_pos;
            t.kind = Token::Kind::Ident;
            t.text = std::string(m_text.substr(start, m_pos - start));
            return t;
        }
        if (isDigit(c) || ((c == '-' || c == '+') && m_pos + 1 < m_text.size() && isDigit(m_text[m_pos + 1]))) {
            t.kind = Token::Kind::Number;
            if (c == '-' || c == '+') {
                t.negative = c == '-';
                ++m_pos;
            }
            const std::size_t start = m_pos;
            while (m_pos < m_text.size() && isDigit(m_text[m_pos]))
                ++m_pos;
            if (m_pos < m_text.size() && isIdentStart(m_text[m_pos]))
                throw WqlSyntaxError("malformed number");
            t.text = std::string(m_text.substr(start, m_pos - start));
            return t;
        }
        if (c == '\'' || c == '"') {
            ++m_pos;
            t.kind = Token::Kind::String;
            for (;;) {
                if (m_pos >= m_text.size())
                    throw WqlSyntaxError("unterminated string");
                const char d = m_text[m_pos++];
                if (d == c)
                    break;
                if (d == '\\') {
                    if (m_pos >= m_text.size())
                        throw WqlSyntaxError("unterminated string");
                    t.text += m_text[m_pos++];
                } else {
                    t.text += d;
                }
            }
            return t;
        }
        ++m_pos;
        switch (c) {
        case '*':
            t.kind = Token::Kind::Star;
            return t;
        case ',':
            t.kind = Token::Kind::Comma;
            return t;
        case '(':
            t.kind = Token::Kind::LParen;
            return t;
        case ')':
            t.kind = Token::Kind::RParen;
            return t;
        case '=':
            t.kind = Token::Kind::Op;
            t.text.assign(1, '=');
            return t;
        case '<':
        case '>':
        case '!': {
            t.kind = Token::Kind::Op;
            t.text = std::string(1, c);
            if (m_pos < m_text.size() && (m_text[m_pos] == '=' || (c == '<' && m_text[m_pos] == '>'))) {
                t.text += m_text[m_pos++];
            }
            if (t.text == "!")
                throw WqlSyntaxError("unexpected '!'");
            return t;
        }
        default:
            throw WqlSyntaxError("unexpected character");
        }
    }

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

class Parser
{
public:
    explicit Parser(std::string_view text) : m_lexer(text) { advance(); }

    WqlQuery parse()
    {
        WqlQuery q;
        expectKeyword("select");
        if (m_tok.kind == Token::Kind::Star) {
            advance();
        } else {
            for (;;) {
                q.properties.push_back(expectIdent());
                if (m_tok.kind != Token::Kind::Comma)
                    break;
                advance();
            }
        }
        expectKeyword("from");
        q.className = expectIdent();
        if (isKeyword("where")) {
            advance();
            q.where = parseOr(0);
        }
        if (m_tok.kind != Token::Kind::End)
            throw WqlSyntaxError("unexpected text after the query");
        return q;
    }

private:
    void advance() { m_tok = m_lexer.next(); }

    bool isKeyword(std::string_view word) const
    {
        return m_tok.kind == Token::Kind::Ident && WqlNamesEqual(m_tok.text, word);
    }

    static bool isReserved(std::string_view word)
    {
        for (std::string_view r : {"select", "from", "where", "and", "or", "not", "is", "null", "true", "false"})
            if (WqlNamesEqual(word, r))
                return true;
        return false;
    }

    void expectKeyword(std::string_view word)
    {
        if (!isKeyword(word))
            throw WqlSyntaxError("expected a keyword");
        advance();
    }

    std::string expectIdent()
    {
        if (m_tok.kind != Token::Kind::Ident || isReserved(m_tok.text))
            throw WqlSyntaxError("expected a name");
        std::string name = std::move(m_tok.text);
        advance();
        return name;
    }

    static void checkDepth(int depth)
    {
        if (depth > kMaxDepth)
            throw WqlSyntaxError("condition nested too deeply");
    }

    std::unique_ptr<WqlCondition> parseOr(int depth)
    {
        checkDepth(depth);
        auto left = parseAnd(depth + 1);
        while (isKeyword("or")) {
            advance();
            auto node = std::make_unique<WqlCondition>();
            node->kind = WqlCondition::Kind::Or;
            node->left = std::move(left);
            node->right = parseAnd(depth + 1);
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<WqlCondition> parseAnd(int depth)
    {
        checkDepth(depth);
        auto left = parseNot(depth + 1);
        while (isKeyword("and")) {
            advance();
            auto node = std::make_unique<WqlCondition>();
            node->kind = WqlCondition::Kind::And;
            node->left = std::move(left);
            node->right = parseNot(depth + 1);
            left = std::move(node);
        }
        return left;
    }

    std::unique_ptr<WqlCondition> parseNot(int depth)
    {
        checkDepth(depth);
        if (isKeyword("not")) {
            advance();
            auto node = std::make_unique<WqlCondition>();
            node->kind = WqlCondition::Kind::Not;
            node->left = parseNot(depth + 1);
            return node;
        }
        if (m_tok.kind == Token::Kind::LParen) {
            advance();
            auto inner = parseOr(depth + 1);
            if (m_tok.kind != Token::Kind::RParen)
                throw WqlSyntaxError("expected ')'");
            advance();
            return inner;
        }
        return parseComparison();
    }

    bool atLiteral() const
    {
        return m_tok.kind == Token::Kind::String || m_tok.kind == Token::Kind::Number || isKeyword("true")
            || isKeyword("false") || isKeyword("null");
    }

    WqlValue literal()
    {
        WqlValue v;
        if (m_tok.kind == Token::Kind::String) {
            v = m_tok.text;
        } else if (m_tok.kind == Token::Kind::Number) {
            WqlInteger n;
            n.negative = m_tok.negative;
            if (m_tok.text.size() > 20)
                throw WqlSyntaxError("number out of range");
            for (char c : m_tok.text) {
                const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
                if (n.magnitude > (UINT64_MAX - digit) / 10)
                    throw WqlSyntaxError("number out of range");
                n.magnitude = n.magnitude * 10 + digit;
            }
            if (n.magnitude == 0)
                n.negative = false;
            v = n;
        } else if (isKeyword("true")) {
            v = true;
        } else if (isKeyword("false")) {
            v = false;
        } else if (isKeyword("null")) {
            v = WqlNull{};
        } else {
            throw WqlSyntaxError("expected a value");
        }
        advance();
        return v;
    }

    static WqlOp opFromText(const std::string &op)
    {
        if (op == "=")
            return WqlOp::Equal;
        if (op == "<>" || op == "!=")
            return WqlOp::NotEqual;
        if (op == "<")
            return WqlOp::Less;
        if (op == ">")
            return WqlOp::Greater;
        if (op == "<=")
            return WqlOp::LessEqual;
        if (op == ">=")
            return WqlOp::GreaterEqual;
        throw WqlSyntaxError("unknown operator");
    }

    static WqlOp mirrored(WqlOp op)
    {
        switch (op) {
        case WqlOp::Less:
            return WqlOp::Greater;
        case WqlOp::Greater:
            return WqlOp::Less;
        case WqlOp::LessEqual:
            return WqlOp::GreaterEqual;
        case WqlOp::GreaterEqual:
            return WqlOp::LessEqual;
        default:
            return op;
        }
    }

    std::unique_ptr<WqlCondition> parseComparison()
    {
        auto node = std::make_unique<WqlCondition>();
        node->kind = WqlCondition::Kind::Compare;
        if (atLiteral()) {
            node->literal = literal();
            if (m_tok.kind != Token::Kind::Op)
                throw WqlSyntaxError("expected an operator");
            node->op = mirrored(opFromText(m_tok.text));
            advance();
            node->property = expectIdent();
            return node;
        }
        node->property = expectIdent();
        if (isKeyword("is")) {
            advance();
            bool negate = false;
            if (isKeyword("not")) {
                negate = true;
                advance();
            }
            expectKeyword("null");
            node->op = negate ? WqlOp::IsNotNull : WqlOp::IsNull;
            return node;
        }
        if (m_tok.kind != Token::Kind::Op)
            throw WqlSyntaxError("expected an operator");
        node->op = opFromText(m_tok.text);
        advance();
        node->literal = literal();
        return node;
    }

    Lexer m_lexer;
    Token m_tok;
};

// -1, 0, 1; signs first, then magnitudes.
int compareIntegers(const WqlInteger &a, const WqlInteger &b)
{
    if (a.negative != b.negative)
        return a.negative ? -1 : 1;
    int c = a.magnitude < b.magnitude ? -1 : (a.magnitude > b.magnitude ? 1 : 0);
    return a.negative ? -c : c;
}

int compareTextsNoCase(const std::string &a, const std::string &b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char x = static_cast<unsigned char>(lower(a[i]));
        const unsigned char y = static_cast<unsigned char>(lower(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool parseInteger(const std::string &text, WqlInteger &out)
{
    if (text.empty() || text.size() > 21)
        return false;
    std::size_t i = 0;
    if (text[0] == '-' || text[0] == '+') {
        out.negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size())
        return false;
    out.magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i]))
            return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(text[i] - '0');
        if (out.magnitude > (UINT64_MAX - digit) / 10)
            return false;
        out.magnitude = out.magnitude * 10 + digit;
    }
    if (out.magnitude == 0)
        out.negative = false;
    return true;
}

// Sets order to -1/0/1; false when the two values cannot be compared.
bool compareValues(const WqlValue &a, const WqlValue &b, int &order)
{
    if (std::holds_alternative<WqlNull>(a) || std::holds_alternative<WqlNull>(b))
        return false;
    if (const auto *s = std::get_if<std::string>(&a)) {
        if (const auto *t = std::get_if<std::string>(&b)) {
            order = compareTextsNoCase(*s, *t);
            return true;
        }
        WqlInteger n;
        if (const auto *m = std::get_if<WqlInteger>(&b); m && parseInteger(*s, n)) {
            order = compareIntegers(n, *m);
            return true;
        }
        return false;
    }
    if (const auto *n = std::get_if<WqlInteger>(&a)) {
        if (const auto *m = std::get_if<WqlInteger>(&b)) {
            order = compareIntegers(*n, *m);
            return true;
        }
        WqlInteger parsed;
        if (const auto *t = std::get_if<std::string>(&b); t && parseInteger(*t, parsed)) {
            order = compareIntegers(*n, parsed);
            return true;
        }
        if (const auto *f = std::get_if<bool>(&b)) {
            order = compareIntegers(*n, WqlInteger{false, *f ? 1u : 0u});
            return true;
        }
        return false;
    }
    const bool x = std::get<bool>(a);
    if (const auto *y = std::get_if<bool>(&b)) {
        order = x == *y ? 0 : (x ? 1 : -1);
        return true;
    }
    if (const auto *m = std::get_if<WqlInteger>(&b)) {
        order = compareIntegers(WqlInteger{false, x ? 1u : 0u}, *m);
        return true;
    }
    return false;
}

void collectProperties(const WqlCondition &c, std::vector<std::string> &out)
{
    if (c.kind == WqlCondition::Kind::Compare) {
        out.push_back(c.property);
        return;
    }
    if (c.left)
        collectProperties(*c.left, out);
    if (c.right)
        collectProperties(*c.right, out);
}

} // namespace

WqlValue WqlUnsigned(std::uint64_t v)
{
    return WqlInteger{false, v};
}

bool WqlNamesEqual(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

WqlQuery ParseWql(std::string_view text)
{
    return Parser(text).parse();
}

std::vector<std::string> WqlConditionProperties(const WqlCondition &condition)
{
    std::vector<std::string> out;
    collectProperties(condition, out);
    return out;
}

bool EvaluateWql(const WqlCondition &condition, const WqlLookup &lookup)
{
    switch (condition.kind) {
    case WqlCondition::Kind::And:
        return EvaluateWql(*condition.left, lookup) && EvaluateWql(*condition.right, lookup);
    case WqlCondition::Kind::Or:
        return EvaluateWql(*condition.left, lookup) || EvaluateWql(*condition.right, lookup);
    case WqlCondition::Kind::Not:
        return !EvaluateWql(*condition.left, lookup);
    case WqlCondition::Kind::Compare:
        break;
    }
    const WqlValue value = lookup(condition.property);
    const bool isNull = std::holds_alternative<WqlNull>(value);
    if (condition.op == WqlOp::IsNull)
        return isNull;
    if (condition.op == WqlOp::IsNotNull)
        return !isNull;
    int order = 0;
    if (!compareValues(value, condition.literal, order))
        return false;
    switch (condition.op) {
    case WqlOp::Equal:
        return order == 0;
    case WqlOp::NotEqual:
        return order != 0;
    case WqlOp::Less:
        return order < 0;
    case WqlOp::Greater:
        return order > 0;
    case WqlOp::LessEqual:
        return order <= 0;
    case WqlOp::GreaterEqual:
        return order >= 0;
    default:
        return false;
    }
}

} // namespace platform
