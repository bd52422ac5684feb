#include "core/Report.h"
#include "core/SystemCommand.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ProgramEnded {
    int exitCode;
};

std::vector<std::string> commands;

int recordCommand(const char* commandLine) {
    commands.emplace_back(commandLine);
    return 0;
}

[[noreturn]] void throwOnEnd(int exitCode) { throw ProgramEnded{exitCode}; }

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        commands.clear();
        previousRunner = setSystemCommandRunner(recordCommand);
        previousEnd = setProgramEnd(throwOnEnd);
    }
    void TearDown() override {
        setSystemCommandRunner(previousRunner);
        setProgramEnd(previousEnd);
    }
    SystemCommandRunner previousRunner = nullptr;
    ProgramEnd previousEnd = nullptr;
};

HRESULT returns(HRESULT result) { return result; }

} // namespace

TEST_F(ReportTest, FailedCallPrintsItsTextRunsPauseAndEndsWithCodeOne) {
    testing::internal::CaptureStdout();
    int exitCode = -1;
    bool reachedAfterCheck = false;
    try {
        CHECK(returns(E_FAIL));
        reachedAfterCheck = true;
    } catch (const ProgramEnded& ended) {
        exitCode = ended.exitCode;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: returns(E_FAIL)\n");
    EXPECT_EQ(exitCode, 1);
    EXPECT_FALSE(reachedAfterCheck);
    EXPECT_EQ(commands, std::vector<std::string>{"pause"});
}

TEST_F(ReportTest, SuccessCodesPass) {
    testing::internal::CaptureStdout();
    for (HRESULT success : {S_OK, S_FALSE, static_cast<HRESULT>(0x087A0001) /* DXGI_STATUS_OCCLUDED */})
        CHECK(returns(success));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(commands.empty());
}

TEST_F(ReportTest, DocumentedTextReplacesTheCodeText) {
    testing::internal::CaptureStdout();
    EXPECT_THROW(CHECK_AS(returns(E_OUTOFMEMORY), "device->CreateFence(...)"), ProgramEnded);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: device->CreateFence(...)\n");
}

TEST(ReportDeathTest, DefaultEndExitsWithCodeOne) {
    setSystemCommandRunner(recordCommand);
    EXPECT_EXIT(reportFailure("call()"), testing::ExitedWithCode(1), "");
    setSystemCommandRunner(nullptr);
}
