#include "HPrintJobManager.h"

#include "HJson.h"

HPrintJobManager::HPrintJobManager() : HPrintCore(HServiceRequestType::Direct, "printJobManager") {}

void HPrintJobManager::process(const HJson& request, HServerResponse& response,
                               const std::string& requestName) {
    if (requestName == "create") {
        createJob(request, response, requestName);
        return;
    }
    // startPage, setBkColor, drawImage, drawText, endPage, close and abort need a job, which
    // cannot be created here; every request still gets its reply.
    errorNotImpl(request, response, requestName);
}

void HPrintJobManager::createJob(const HJson& request, HServerResponse& response,
                                 const std::string& requestName) {
    std::string error;
    std::string printerName;
    std::string paperName;
    std::string jobName;
    if (!getParam(request, "printerName", printerName, &error) ||
        !getParam(request, "paperName", paperName, &error) ||
        !getParam(request, "jobName", jobName, &error)) {
        errorParam(request, response, error, requestName);
        return;
    }
    boost::json::object options;
    getParam(request, "options", options, nullptr);
    create(request, response, requestName, printerName, paperName, jobName,
           extractOptions(options));
}

void HPrintJobManager::create(const HJson& request, HServerResponse& response,
                              const std::string& requestName, const std::string&,
                              const std::string&, const std::string&, const HPrintJobOptions&) {
    errorNotImpl(request, response, requestName);
}

HPrintJobOptions HPrintJobManager::extractOptions(const boost::json::object& options) {
    HPrintJobOptions result;
    const HJson view(options);
    view.getString("bothSides", result.bothSides);
    view.getString("orientation", result.orientation);
    int width = 0;
    int height = 0;
    if (view.getSize("userSize", width, height)) {
        result.width = width / 10;
        result.height = height / 10;
    }
    view.getInt("copies", result.copies);
    return result;
}

HPrintJobText HPrintJobManager::extractText(const HJson& body) {
    HPrintJobText text;
    body.getString("fontName", text.fontName);
    body.getString("text", text.text);
    body.getPoint("position", text.x, text.y);
    body.getInt("pointSize", text.pointSize);
    body.getInt("renderOptions", text.renderOptions);
    body.getInt("color", text.color);
    return text;
}
