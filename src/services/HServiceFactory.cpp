#include "HServiceFactory.h"

#include "HService.h"

std::shared_ptr<HService> HServiceFactory::createInstance(const std::string&, HServerMonitor&,
                                                          HWebBrowser&, HEvents&) {
    return nullptr;
}

void HServiceFactory::deleteInstance(std::shared_ptr<HService>) {}

void HServiceFactory::deleteInstances() {}
