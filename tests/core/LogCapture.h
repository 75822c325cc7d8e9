#pragma once

#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/trivial.hpp>

#include <string>
#include <utility>
#include <vector>

// Collects the log records written while it lives.
class LogCapture {
public:
    using Line = std::pair<boost::log::trivial::severity_level, std::string>;

    LogCapture() : backend(boost::make_shared<Backend>()), sink(boost::make_shared<Sink>(backend)) {
        boost::log::core::get()->add_sink(sink);
    }
    ~LogCapture() { boost::log::core::get()->remove_sink(sink); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<Line> lines() const { return backend->lines; }

private:
    struct Backend
        : boost::log::sinks::basic_sink_backend<boost::log::sinks::synchronized_feeding> {
        void consume(const boost::log::record_view& record) {
            auto message = boost::log::extract<std::string>("Message", record);
            auto severity =
                boost::log::extract<boost::log::trivial::severity_level>("Severity", record);
            lines.emplace_back(severity ? *severity : boost::log::trivial::fatal,
                               message ? *message : std::string());
        }
        std::vector<Line> lines;
    };
    using Sink = boost::log::sinks::synchronous_sink<Backend>;

    boost::shared_ptr<Backend> backend;
    boost::shared_ptr<Sink> sink;
};
