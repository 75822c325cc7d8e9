#pragma once

#include <boost/log/trivial.hpp>

#include <sstream>
#include <string>
#include <vector>

// Log switches, fixed when the program is built.
extern const int HLOG_LEVEL;
extern const bool HLOG_WARNS;
extern const bool HLOG_ERRORS;

enum class HLogKind { trace, info, warning, error };

// Whether a line of that kind is written under the given switches.
constexpr bool hlogEnabled(HLogKind kind, int level, bool warns, bool errors) {
    switch (kind) {
    case HLogKind::trace:
        return level <= 0;
    case HLogKind::info:
        return level <= 2;
    case HLogKind::warning:
        return warns;
    case HLogKind::error:
        return errors;
    }
    return false;
}

bool hlogEnabled(HLogKind kind);

// Writes the parts, concatenated, as one record of the trivial logger.
template <typename... Parts>
void hlogWrite(boost::log::trivial::severity_level severity, const Parts&... parts) {
    std::ostringstream line;
    (line << ... << parts);
    BOOST_LOG_SEV(boost::log::trivial::logger::get(), severity) << line.str();
}

// The gate is tested before any part is evaluated or formatted.
#define HLOG_TRACE(...)                                                                            \
    do {                                                                                           \
        if (hlogEnabled(HLogKind::trace))                                                          \
            hlogWrite(boost::log::trivial::trace, __VA_ARGS__);                                    \
    } while (0)
#define HLOG_INFO(...)                                                                             \
    do {                                                                                           \
        if (hlogEnabled(HLogKind::info))                                                           \
            hlogWrite(boost::log::trivial::trace, __VA_ARGS__);                                    \
    } while (0)
#define HLOG_WARN(...)                                                                             \
    do {                                                                                           \
        if (hlogEnabled(HLogKind::warning))                                                        \
            hlogWrite(boost::log::trivial::warning, __VA_ARGS__);                                  \
    } while (0)
#define HLOG_ERROR(...)                                                                            \
    do {                                                                                           \
        if (hlogEnabled(HLogKind::error))                                                          \
            hlogWrite(boost::log::trivial::error, __VA_ARGS__);                                    \
    } while (0)

// Each entry followed by a newline.
std::string join(const std::vector<std::string>& lines);

// Memory figures of the process; empty on this platform.
std::string memStatus();
