#include "HTestProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <system_error>

namespace {

constexpr std::chrono::seconds kWait{10};

HTestProcess shell(const std::string& script) {
    return HTestProcess({"/bin/sh", {"-c", script}, {{"GREETING", "hello"}}, true, "/tmp"});
}

} // namespace

TEST(HTestProcessTest, CapturesOutputAndExitCode) {
    auto process = shell("echo \"$GREETING from $(pwd)\"; echo oops >&2; exit 3");
    EXPECT_TRUE(process.waitForStdout("hello from /tmp", kWait));
    EXPECT_TRUE(process.waitForStderr("oops", kWait));
    EXPECT_EQ(process.waitExit(kWait), 3);
    EXPECT_FALSE(process.signal(SIGTERM));
}

TEST(HTestProcessTest, SignalEndsAProcessThatWouldRunOn) {
    auto process = shell("echo ready; exec sleep 60");
    ASSERT_TRUE(process.waitForStdout("ready", kWait));
    EXPECT_EQ(process.waitExit(std::chrono::milliseconds(100)), std::nullopt);
    ASSERT_TRUE(process.signal(SIGTERM));
    EXPECT_EQ(process.waitExit(kWait), 128 + SIGTERM);
}

TEST(HTestProcessTest, MissingExecutableThrows) {
    EXPECT_THROW(HTestProcess({"/nonexistent/taviro", {}, {}, true, ""}), std::system_error);
}
