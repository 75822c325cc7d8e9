#pragma once

#include "HPrintCore.h"

#include <boost/json/object.hpp>

#include <cstdint>

struct HPrintJobOptions {
    std::string bothSides;
    std::string orientation;
    std::int32_t copies = -1;
    std::int32_t width = -1; // tenths of the page size the page gives
    std::int32_t height = -1;
};

struct HPrintJobText {
    std::string fontName;
    std::string text;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t pointSize = 0;
    std::int32_t renderOptions = 0;
    std::int32_t color = 0;
};

// Print jobs page by page. Without a printing system every job request answers
// "NOT_IMPLEMENTED" once its parameters are read.
class HPrintJobManager : public HPrintCore {
public:
    HPrintJobManager();

    void process(const HJson& request, HServerResponse& response,
                 const std::string& requestName) override;

    static HPrintJobOptions extractOptions(const boost::json::object& options);
    static HPrintJobText extractText(const HJson& body);

private:
    void createJob(const HJson& request, HServerResponse& response, const std::string& requestName);
    void create(const HJson& request, HServerResponse& response, const std::string& requestName,
                const std::string& printerName, const std::string& paperName,
                const std::string& jobName, const HPrintJobOptions& options);
};
