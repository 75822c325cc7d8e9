#include "HWebBrowser.h"

#include "HEvents.h"
#include "HLogs.h"

#include <boost/json/object.hpp>

HWebBrowser::HWebBrowser(HServerMonitor& monitor, HEvents& events, HSplashWindow& splash)
    : monitor(monitor), events(events), splash(splash) {
    HLOG_TRACE("HWebBrowser::HWebBrowser");
}

HWebBrowser::~HWebBrowser() {
    HLOG_TRACE("HWebBrowser::~HWebBrowser");
}

void HWebBrowser::addMapping(const char* label, Mappings& map, const std::string& id,
                             const std::string& text, HMenuHandle handle) {
    if (id.empty()) {
        HLOG_WARN("HWebBrowser::addMapping::", label, ":", text, ":MISSING ID");
        return;
    }
    // The toolkit may give a freed object's address to a new one: an entry left from an earlier
    // menu must not claim the new item.
    rmvMapping(map, handle);
    map[id] = handle;
}

void HWebBrowser::rmvMapping(Mappings& map, HMenuHandle handle) {
    for (auto entry = map.begin(); entry != map.end(); ++entry) {
        if (entry->second == handle) {
            map.erase(entry);
            return;
        }
    }
}

void HWebBrowser::addMenuMap(const std::string& id, const std::string& text, HMenuHandle handle) {
    std::lock_guard lock(menuMutex);
    addMapping("menuMappings", menuMappings, id, text, handle);
}

void HWebBrowser::rmvMenuMap(HMenuHandle handle) {
    std::lock_guard lock(menuMutex);
    rmvMapping(menuMappings, handle);
}

void HWebBrowser::addChildMap(const std::string& id, const std::string& text, HMenuHandle handle) {
    std::lock_guard lock(childMutex);
    addMapping("childMappings", childMappings, id, text, handle);
}

void HWebBrowser::rmvChildMap(HMenuHandle handle) {
    std::lock_guard lock(childMutex);
    rmvMapping(childMappings, handle);
}

void HWebBrowser::clrMenuMap() {
    std::lock_guard lock(menuMutex);
    menuMappings.clear();
}

HMenuHandle HWebBrowser::getMenuValue(const std::string& id) {
    std::lock_guard lock(menuMutex);
    const auto found = menuMappings.find(id);
    if (found == menuMappings.end()) {
        HLOG_WARN("HWebBrowser::getMenuValue::", id);
        return 0;
    }
    return found->second;
}

bool HWebBrowser::getChildId(HMenuHandle handle, std::string& id) {
    std::lock_guard lock(childMutex);
    for (const auto& [childId, childHandle] : childMappings) {
        if (childHandle == handle) {
            id = childId;
            return true;
        }
    }
    HLOG_ERROR("HWebBrowser::getChildId:", id, "NOT FOUND");
    return false;
}

void HWebBrowser::onMenuAction(HMenuHandle handle) {
    std::string id;
    if (!getChildId(handle, id))
        return;
    boost::json::object data;
    data["id"] = id;
    boost::json::object event;
    event["type"] = "action";
    event["data"] = std::move(data);
    events.dispatch(event);
}
