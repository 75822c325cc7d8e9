#pragma once

#include <memory>
#include <string>

class HEvents;
class HServerMonitor;
class HService;
class HWebBrowser;

// Makes services by name: the one place that knows every service class.
class HServiceFactory {
public:
    // Null for a name no service has (names are case-sensitive). The references must outlive
    // the service.
    std::shared_ptr<HService> createInstance(const std::string& name, HServerMonitor& monitor,
                                             HWebBrowser& browser, HEvents& events);
    void deleteInstance(std::shared_ptr<HService> service);
    void deleteInstances();
};
