#pragma once

#include "HService.h"

// Common base of the print services.
class HPrintCore : public HService {
public:
    HPrintCore(HServiceRequestType requestType, const std::string& name);
};
