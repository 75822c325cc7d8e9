#include "HServiceFactory.h"

#include "HAppService.h"
#include "HDatabaseManager.h"
#include "HFileManager.h"
#include "HPrintJobManager.h"
#include "HPrintManager.h"

std::shared_ptr<HService> HServiceFactory::createInstance(const std::string& name,
                                                          HServerMonitor& monitor,
                                                          HWebBrowser& browser, HEvents& events) {
    if (name == "fileManager")
        return std::make_shared<HFileManager>();
    if (name == "printManager")
        return std::make_shared<HPrintManager>();
    if (name == "printJobManager")
        return std::make_shared<HPrintJobManager>();
    if (name == "appService")
        return std::make_shared<HAppService>(monitor, browser, events);
    if (name == "databaseManager")
        return std::make_shared<HDatabaseManager>();
    return nullptr;
}

// Services live in the server's list; the factory keeps nothing to release.
void HServiceFactory::deleteInstance(std::shared_ptr<HService>) {}

void HServiceFactory::deleteInstances() {}
