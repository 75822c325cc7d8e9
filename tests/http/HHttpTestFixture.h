#pragma once

#include "HHttpApp.h"
#include "HTestClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

inline constexpr std::chrono::seconds kWait{10};

// One app per test, started on a free loopback port and stopped at the end.
class HHttpTest : public ::testing::Test {
protected:
    HHttpTest() {
        app.handleSignals(false);
        app.concurrency(4);
        app.timeout(std::chrono::seconds(5));
    }

    void TearDown() override {
        app.stop();
        if (run.valid()) {
            EXPECT_EQ(run.wait_for(kWait), std::future_status::ready) << "run did not end";
        }
    }

    void start() {
        run = app.runAsync();
        ASSERT_EQ(app.waitStarted(kWait), HHttpApp::Start::listening);
        port = app.boundPort();
        ASSERT_NE(port, 0);
    }

    HTestResponse get(std::string_view target, const HTestHeaders& headers = {}) {
        return httpRequest("127.0.0.1", port, "GET", target, headers);
    }

    HHttpApp app;
    std::future<void> run;
    std::uint16_t port = 0;
};

// Things handlers saw, for a test thread to wait on.
class HEvents {
public:
    void add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }

    std::size_t count(const std::string& event) const {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), event));
    }

    bool waitForCount(const std::string& event, std::size_t wanted) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, kWait, [&] {
            return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), event)) >=
                   wanted;
        });
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};
