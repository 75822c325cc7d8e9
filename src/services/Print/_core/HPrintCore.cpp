#include "HPrintCore.h"

HPrintCore::HPrintCore(HServiceRequestType requestType, const std::string& name)
    : HService(requestType, name) {}
