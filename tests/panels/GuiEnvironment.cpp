// SPDX-License-Identifier: MIT
// One QApplication for the whole test program, created before the first test.
#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtEnvironment : public testing::Environment
{
public:
    void SetUp() override { FApp = std::make_unique<QApplication>(FArgc, FArgv); }
    void TearDown() override { FApp.reset(); }

private:
    int FArgc = 1;
    char FName[16] = "tst_panels";
    char *FArgv[2] = {FName, nullptr};
    std::unique_ptr<QApplication> FApp;
};

[[maybe_unused]] testing::Environment *const gQtEnvironment = testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace
