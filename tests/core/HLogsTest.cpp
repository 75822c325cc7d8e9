#include "HLogs.h"
#include "HOS.h"

#include "LogCapture.h"

#include <gtest/gtest.h>

namespace logging = boost::log;

TEST(HLogs, GatesFollowTheSwitches) {
    struct Case {
        int level;
        bool warns;
        bool errors;
        bool trace, info, warning, error;
    };
    const Case cases[] = {
        {2, true, true, false, true, true, true},   {0, true, true, true, true, true, true},
        {3, true, true, false, false, true, true},  {1, false, true, false, true, false, true},
        {-5, true, false, true, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.level));
        EXPECT_EQ(hlogEnabled(HLogKind::trace, c.level, c.warns, c.errors), c.trace);
        EXPECT_EQ(hlogEnabled(HLogKind::info, c.level, c.warns, c.errors), c.info);
        EXPECT_EQ(hlogEnabled(HLogKind::warning, c.level, c.warns, c.errors), c.warning);
        EXPECT_EQ(hlogEnabled(HLogKind::error, c.level, c.warns, c.errors), c.error);
    }
}

TEST(HLogs, BuiltInSwitchesWriteInfoWarningErrorButNotTrace) {
    std::vector<LogCapture::Line> lines;
    int evaluated = 0;
    auto part = [&] {
        ++evaluated;
        return "x";
    };
    {
        LogCapture capture;
        HLOG_TRACE("trace:", part());
        HLOG_INFO("RC:", 3);
        HLOG_WARN("warn:", 1.5);
        HLOG_ERROR("err:", std::string("e"));
        lines = capture.lines();
    }

    EXPECT_EQ(evaluated, 0) << "a suppressed line must not evaluate its parts";
    using logging::trivial::severity_level;
    const std::vector<std::pair<severity_level, std::string>> expected{
        {severity_level::trace, "RC:3"},
        {severity_level::warning, "warn:1.5"},
        {severity_level::error, "err:e"},
    };
    EXPECT_EQ(lines, expected);
}

TEST(HOSDetails, SectionsAppearOnlyWithLines) {
    struct Case {
        std::vector<std::string> errors, args;
        std::string body;
    };
    const Case cases[] = {
        {{}, {}, ""},
        {{}, {"/bin/taviro"}, "ARGS:\n/bin/taviro\n\n"},
        {{"CANNOT FIND BEST APPLICATION"},
         {"/path/Taviro", "-app:x"},
         "DETAILS:\nCANNOT FIND BEST APPLICATION\n\nARGS:\n/path/Taviro\n-app:x\n\n"},
        {{"two\nlines"}, {}, "DETAILS:\ntwo\nlines\n\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HOS::details(c.errors, c.args), c.body);
    EXPECT_EQ(join({}), "");
    EXPECT_EQ(join({"a", "b"}), "a\nb\n");
    EXPECT_EQ(memStatus(), "");
}
