// SPDX-License-Identifier: MIT
// The file-fed service that the window's refresh tests script.
#include "platform/WbemFactory.h"
#include "wbem/fake/FakeWbemService.h"

#include <QByteArray>
#include <QtGlobal>

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string FixturePath(const std::string &name)
{
    return std::string(VELMORA_SOURCE_DIR) + "/tests/fixtures/objects/" + name;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Texts(platform::WbemServices &services)
{
    std::vector<std::string> texts;
    auto set = services.ExecQuery("SELECT * FROM Win32_LogicalDisk");
    while (auto object = set->Next())
        texts.push_back(object->GetObjectText());
    return texts;
}

std::string ErrorOf(const std::function<void()> &f)
{
    try {
        f();
    } catch (const platform::WbemError &e) {
        return e.what();
    }
    ADD_FAILURE() << "no WbemError raised";
    return {};
}

class FakeWbemTest : public testing::Test
{
protected:
    void SetUp() override
    {
        folder = std::make_unique<testsupport::TempFolder>("velmora-fakewbem");
        dir = folder->Path();
        path = folder->File("objects.fake");
    }
    void TearDown() override { folder.reset(); }

    void Write(const std::string &text)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    std::unique_ptr<testsupport::TempFolder> folder;
    fs::path dir;
    std::string path;
};

TEST_F(FakeWbemTest, ServesTheBlocksBetweenSeparatorsAsWritten)
{
    const std::string c = ReadFile(FixturePath("logicaldisk-c.mof"));
    const std::string d = ReadFile(FixturePath("logicaldisk-d-cdrom.mof"));
    const std::string z = ReadFile(FixturePath("logicaldisk-z-network.mof"));
    platform::FakeWbemLocator locator(FixturePath("drives-c-d-z.fake"), platform::ReadFakeWbemFile);
    auto services = locator.ConnectServer(".", "root\\cimv2");
    EXPECT_EQ(Texts(*services), (std::vector<std::string>{c, d, z}));
}

TEST_F(FakeWbemTest, SeparatorsAndBlankBlocks)
{
    struct Case
    {
        std::string file;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"", {}},
        {"----\n", {}},
        {"\n \t\r\n----\r\n----\n", {}},
        {"a\n", {"a\n"}},
        {"a", {"a"}},
        {"----\na\n----\n\n----\nb\r\n----", {"a\n", "b\r\n"}},
        {"a\r\n----\r\nb\r\n", {"a\r\n", "b\r\n"}},
        // Only a line that is exactly "----" separates.
        {"a\n-----\n ----\n---- \nb\n", {"a\n-----\n ----\n---- \nb\n"}},
        // A directive counts only on the first line.
        {"a\n!query-error x\n", {"a\n!query-error x\n"}},
    };
    for (const Case &c : cases) {
        Write(c.file);
        platform::FakeWbemLocator locator(path, platform::ReadFakeWbemFile);
        auto services = locator.ConnectServer(".", "root\\cimv2");
        EXPECT_EQ(Texts(*services), c.texts) << testing::PrintToString(c.file);
    }
}

TEST_F(FakeWbemTest, DirectivesMakeTheirCallFail)
{
    Write("!connect-error Acceso denegado.\r\ninstance of X\n");
    platform::FakeWbemLocator locator(path, platform::ReadFakeWbemFile);
    EXPECT_EQ(ErrorOf([&] { locator.ConnectServer(".", "root\\cimv2"); }), "Acceso denegado.");

    Write("!connect-error\n");
    EXPECT_EQ(ErrorOf([&] { locator.ConnectServer(".", "root\\cimv2"); }), "connect-error");

    Write("!query-error Consulta no válida\ninstance of X\n");
    auto services = locator.ConnectServer(".", "root\\cimv2");
    EXPECT_EQ(ErrorOf([&] { services->ExecQuery("SELECT"); }), "Consulta no válida");

    // A connect directive does not concern a query on an open connection.
    Write("!connect-error x\ninstance of X\n");
    EXPECT_EQ(Texts(*services), std::vector<std::string>{"instance of X\n"});
}

TEST_F(FakeWbemTest, TextErrorBlockFailsOnlyWhenRendered)
{
    Write("a\n----\n!text-error Error genérico\n----\nb\n");
    platform::FakeWbemLocator locator(path, platform::ReadFakeWbemFile);
    auto services = locator.ConnectServer(".", "root\\cimv2");
    auto set = services->ExecQuery("SELECT");
    EXPECT_EQ(set->Next()->GetObjectText(), "a\n");
    auto failing = set->Next();
    ASSERT_TRUE(failing);
    EXPECT_EQ(ErrorOf([&] { failing->GetObjectText(); }), "Error genérico");
    EXPECT_EQ(set->Next()->GetObjectText(), "b\n");
    EXPECT_FALSE(set->Next());
    EXPECT_FALSE(set->Next());
}

TEST_F(FakeWbemTest, FileIsReadAgainAtEveryQuery)
{
    platform::FakeWbemLocator locator(path, platform::ReadFakeWbemFile); // file missing: empty result
    auto services = locator.ConnectServer(".", "root\\cimv2");
    EXPECT_TRUE(Texts(*services).empty());

    Write("a\n----\nb\n");
    EXPECT_EQ(Texts(*services).size(), 2u);
    Write("c\n");
    EXPECT_EQ(Texts(*services), std::vector<std::string>{"c\n"});
    fs::remove(path);
    EXPECT_TRUE(Texts(*services).empty());
}

TEST_F(FakeWbemTest, UnreadableOrHugeFileIsAnError)
{
    platform::FakeWbemLocator locator(dir.string(), platform::ReadFakeWbemFile); // a directory
    EXPECT_FALSE(ErrorOf([&] { locator.ConnectServer(".", "root\\cimv2"); }).empty());

    Write("");
    fs::resize_file(path, 16u * 1024u * 1024u + 1u);
    platform::FakeWbemLocator huge(path, platform::ReadFakeWbemFile);
    EXPECT_NE(ErrorOf([&] { huge.ConnectServer(".", "root\\cimv2"); }).find("16 MiB"), std::string::npos);
}

TEST_F(FakeWbemTest, EnvironmentVariableSwitchesTheLocator)
{
    Write("a\n");
    ASSERT_TRUE(qputenv("VELMORA_FAKE_WBEM", QByteArray::fromStdString(path)));
    auto locator = platform::CreateWbemLocator();
    qunsetenv("VELMORA_FAKE_WBEM");
    ASSERT_NE(dynamic_cast<platform::FakeWbemLocator *>(locator.get()), nullptr);
    auto services = locator->ConnectServer(".", "root\\cimv2");
    EXPECT_EQ(Texts(*services), std::vector<std::string>{"a\n"});
}

} // namespace
