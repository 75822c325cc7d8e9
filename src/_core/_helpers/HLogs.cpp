#include "HLogs.h"

#ifndef HLOG_LEVEL_VALUE
#define HLOG_LEVEL_VALUE 2
#endif
#ifndef HLOG_WARNS_VALUE
#define HLOG_WARNS_VALUE true
#endif
#ifndef HLOG_ERRORS_VALUE
#define HLOG_ERRORS_VALUE true
#endif

const int HLOG_LEVEL = HLOG_LEVEL_VALUE;
const bool HLOG_WARNS = HLOG_WARNS_VALUE;
const bool HLOG_ERRORS = HLOG_ERRORS_VALUE;

bool hlogEnabled(HLogKind kind) {
    return hlogEnabled(kind, HLOG_LEVEL, HLOG_WARNS, HLOG_ERRORS);
}

std::string join(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

std::string memStatus() {
    return {};
}
