#pragma once

#include "HPrintCore.h"

// Printers and their settings. There is no printing system here: the page sees no printers.
class HPrintManager : public HPrintCore {
public:
    HPrintManager();

    void process(const HJson& request, HServerResponse& response,
                 const std::string& requestName) override;

private:
    void enumPrinters(const HJson& request, HServerResponse& response,
                      const std::string& requestName);
    void capabilities(const HJson& request, HServerResponse& response,
                      const std::string& requestName, const std::string& printerName);
    void driver(const HJson& request, HServerResponse& response, const std::string& requestName,
                const std::string& printerName);
    void devmode(const HJson& request, HServerResponse& response, const std::string& requestName,
                 const std::string& printerName);
    void enumPapers(const HJson& request, HServerResponse& response, const std::string& requestName,
                    const std::string& printerName);
};
