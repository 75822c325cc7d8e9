#pragma once

#include <boost/json/fwd.hpp>

#include <string>
#include <vector>

class HFileSystem;

struct HApplicationBrowser {
    int show = 0; // 0 none, 1 fullscreen, 2 normal, 3 minimized, 4 hidden
    int windowWidth = -1;
    int windowHeight = -1;
};

// The application chosen from "applications.json", with the catalogue's defaults applied.
class HApplication {
public:
    explicit HApplication(HFileSystem& fileSystem);
    HApplication(const HApplication&) = delete;
    HApplication& operator=(const HApplication&) = delete;
    ~HApplication();

    // Reads the catalogue and loads the application that the arguments choose. On false,
    // `errors` says why.
    bool initialize(const std::vector<std::string>& args);
    // The start URL on the address and port the server actually runs on.
    std::string url(const std::string& address, int port) const;

    std::string id;
    std::string appSuffix;
    std::string title;
    std::string appBaseUrl;
    std::string appHome;
    std::string fileSystem;
    std::string appSplash;
    int appThreads = 0;
    std::string serverProtocol;
    std::string serverAddress;
    int serverPort = 0;
    std::vector<std::string> services;
    HApplicationBrowser browser;
    std::vector<std::string> errors;

private:
    HFileSystem& files;
};

// Selection helpers, used by initialize.
std::string getBinName(const std::vector<std::string>& args);
bool getOptionValue(const std::string& arg, const std::string& prefix, std::string& out);
std::string getOption(const std::vector<std::string>& args, const std::string& longName,
                      const std::string& shortName);
bool getApplication(const boost::json::array& catalogue, const std::string& id,
                    boost::json::object& out);
bool getDefaultApplication(const boost::json::array& catalogue, boost::json::object& out);
bool getBestApplication(const boost::json::value& catalogue, const std::string& programName,
                        const std::string& chosenId, boost::json::object& out);
int getBrowserShow(const std::string& word);
void getServices(const boost::json::array& array, std::vector<std::string>& list);
bool getBrowser(const boost::json::value& value, HApplicationBrowser& browser);
