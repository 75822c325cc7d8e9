#include "HApplication.h"

#include "HFileSystem.h"
#include "HJson.h"
#include "HLogs.h"

#include <filesystem>

namespace json = boost::json;

namespace {

// The process keeps the classic locale: only A to Z change.
std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool hasId(const json::value& element, const std::string& id) {
    std::string elementId;
    return element.is_object() && getString(element.get_object(), "id", elementId) &&
           elementId == id;
}

} // namespace

HApplication::HApplication(HFileSystem& fileSystem) : files(fileSystem) {
    HLOG_TRACE("HApplication::HApplication");
}

HApplication::~HApplication() {
    HLOG_TRACE("HApplication::~HApplication");
}

std::string getBinName(const std::vector<std::string>& args) {
    if (args.empty())
        return {};
    return lowerAscii(std::filesystem::path(args.front()).stem().string());
}

bool getOptionValue(const std::string& arg, const std::string& prefix, std::string& out) {
    const std::string start = prefix + ":";
    if (arg.compare(0, start.size(), start) != 0)
        return false;
    out = arg.substr(start.size());
    return true;
}

std::string getOption(const std::vector<std::string>& args, const std::string& longName,
                      const std::string& shortName) {
    for (const auto& arg : args) {
        const std::string lowered = lowerAscii(arg);
        std::string value;
        if (getOptionValue(lowered, "--" + longName, value) ||
            getOptionValue(lowered, "-" + shortName, value))
            return value;
    }
    return {};
}

bool getApplication(const json::array& catalogue, const std::string& id, json::object& out) {
    for (const auto& element : catalogue) {
        if (hasId(element, id)) {
            out = element.get_object();
            return true;
        }
    }
    return false;
}

bool getDefaultApplication(const json::array& catalogue, json::object& out) {
    for (const auto& element : catalogue) {
        std::string options;
        if (element.is_object() && getString(element.get_object(), "options", options) &&
            options.find("default") != std::string::npos) {
            out = element.get_object();
            return true;
        }
    }
    return false;
}

bool getBestApplication(const json::value& catalogue, const std::string& programName,
                        const std::string& chosenId, json::object& out) {
    if (!catalogue.is_array())
        return false;
    const json::array& applications = catalogue.get_array();
    if (!chosenId.empty())
        return getApplication(applications, chosenId, out);
    return getApplication(applications, programName, out) ||
           getDefaultApplication(applications, out);
}

int getBrowserShow(const std::string& word) {
    if (word == "fullscreen")
        return 1;
    if (word == "normal")
        return 2;
    if (word == "minimized")
        return 3;
    if (word == "hidden")
        return 4;
    return 0;
}

void getServices(const json::array& array, std::vector<std::string>& list) {
    for (const auto& element : array) {
        std::string name;
        if (getString(element, name))
            list.push_back(std::move(name));
    }
}

bool getBrowser(const json::value& value, HApplicationBrowser& browser) {
    const HJson settings(value);
    std::string show;
    if (!settings.getString("show", show))
        return false;
    browser.show = getBrowserShow(lowerAscii(show));
    settings.getInt("windowWidth", browser.windowWidth);
    settings.getInt("windowHeight", browser.windowHeight);
    return true;
}

bool HApplication::initialize(const std::vector<std::string>& args) {
    const HFile catalogue = files.file("applications.json");
    if (!catalogue.exists()) {
        errors.emplace_back("APPLICATIONS FILE NOT FOUND");
        return false;
    }
    json::object chosen;
    if (!getBestApplication(catalogue.json(), getBinName(args),
                            getOption(args, "application", "app"), chosen)) {
        errors.emplace_back("CANNOT FIND BEST APPLICATION");
        return false;
    }

    serverProtocol = "http";
    serverAddress = "127.0.0.1";
    serverPort = 9080;
    const HJson record(chosen);
    record.getString("id", id);
    title = id;
    appSuffix = id;
    appBaseUrl = "/";
    appHome = "/index.html";
    appThreads = 4;

    record.getString("title", title);
    record.getString("appSuffix", appSuffix);
    record.getString("appSplash", appSplash);
    record.getInt("appThreads", appThreads);
    record.getString("appHome", appHome);
    record.getString("serverProtocol", serverProtocol);
    record.getString("serverAddress", serverAddress);
    record.getInt("serverPort", serverPort);

    if (!record.getString("fileSystem", fileSystem)) {
        errors.push_back(title + " APPLICATION FILESYSTEM NOT DEFINED");
        return false;
    }
    record.getString("appBaseUrl", appBaseUrl);
    json::array serviceList;
    if (record.getArray("services", serviceList))
        getServices(serviceList, services);
    if (auto found = chosen.find("browser"); found != chosen.end() && found->value().is_object())
        getBrowser(found->value(), browser);
    return true;
}
