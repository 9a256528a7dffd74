// SPDX-License-Identifier: MIT
#include "wbem/fake/FakeWbemService.h"

#include <optional>
#include <string_view>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view kSeparator = "----";
constexpr std::string_view kConnectError = "!connect-error";
constexpr std::string_view kQueryError = "!query-error";
constexpr std::string_view kTextError = "!text-error";

struct FakeFile
{
    std::optional<std::string> connectError;
    std::optional<std::string> queryError;
    std::vector<std::string> objects;
};

// The message of a directive line ("<directive>" or "<directive> <message>").
std::optional<std::string> DirectiveMessage(std::string_view line, std::string_view directive)
{
    if (!line.starts_with(directive))
        return std::nullopt;
    line.remove_prefix(directive.size());
    if (line.empty())
        return std::string(directive.substr(1));
    if (line.front() != ' ')
        return std::nullopt;
    line.remove_prefix(1);
    return std::string(line.empty() ? directive.substr(1) : line);
}

// A line without its terminator (LF or CR LF).
std::string_view LineContent(std::string_view line)
{
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

bool IsBlank(std::string_view text)
{
    return text.find_first_not_of(" \t\r\n") == std::string_view::npos;
}

FakeFile ParseFakeFile(std::string_view text)
{
    FakeFile file;
    std::string block;
    bool first = true;
    auto flush = [&] {
        if (!IsBlank(block))
            file.objects.push_back(std::move(block));
        block.clear();
    };
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find('\n', pos);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view line = text.substr(pos, next - pos);
        const std::string_view content = LineContent(line);
        pos = next;
        if (first) {
            first = false;
            file.connectError = DirectiveMessage(content, kConnectError);
            file.queryError = DirectiveMessage(content, kQueryError);
            if (file.connectError || file.queryError)
                continue;
        }
        if (content == kSeparator)
            flush();
        else
            block.append(line);
    }
    flush();
    return file;
}

FakeFile LoadFakeFile(const FakeFileReader &read, const std::string &path)
{
    const std::optional<std::string> text = read(path);
    if (!text)
        return {};
    return ParseFakeFile(*text);
}

class FakeWbemObject : public WbemObject
{
public:
    explicit FakeWbemObject(std::string text) : m_text(std::move(text)) {}
    std::string GetObjectText() const override
    {
        std::string_view first = m_text;
        if (const std::size_t end = first.find('\n'); end != std::string_view::npos)
            first = first.substr(0, end + 1);
        if (const auto message = DirectiveMessage(LineContent(first), kTextError))
            throw WbemError(*message);
        return m_text;
    }

private:
    std::string m_text;
};

class FakeWbemObjectSet : public WbemObjectSet
{
public:
    explicit FakeWbemObjectSet(std::vector<std::string> objects) : m_objects(std::move(objects)) {}
    std::unique_ptr<WbemObject> Next() override
    {
        if (m_next >= m_objects.size())
            return nullptr;
        return std::make_unique<FakeWbemObject>(std::move(m_objects[m_next++]));
    }

private:
    std::vector<std::string> m_objects;
    std::size_t m_next = 0;
};

class FakeWbemServices : public WbemServices
{
public:
    FakeWbemServices(std::string path, FakeFileReader read) : m_path(std::move(path)), m_read(std::move(read)) {}
    std::unique_ptr<WbemObjectSet> ExecQuery(const std::string &) override
    {
        FakeFile file = LoadFakeFile(m_read, m_path);
        if (file.queryError)
            throw WbemError(*file.queryError);
        return std::make_unique<FakeWbemObjectSet>(std::move(file.objects));
    }

private:
    std::string m_path;
    FakeFileReader m_read;
};

} // namespace

std::unique_ptr<WbemServices> FakeWbemLocator::ConnectServer(const std::string &, const std::string &)
{
    const FakeFile file = LoadFakeFile(m_read, m_path);
    if (file.connectError)
        throw WbemError(*file.connectError);
    return std::make_unique<FakeWbemServices>(m_path, m_read);
}

} // namespace platform
