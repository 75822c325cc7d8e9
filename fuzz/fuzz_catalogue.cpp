// HApplication::initialize over an arbitrary catalogue and arguments. The input is
// NUL-separated: the catalogue's bytes ("applications.json"), then one argument per part.
#include "HApplication.h"
#include "HFileSystem.h"
#include "HVirtualFileSystem.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = input.find('\0', start)) != std::string_view::npos;
         start = end + 1)
        parts.emplace_back(input.substr(start, end - start));
    parts.emplace_back(input.substr(start));

    // A copy of its own, so reads past the catalogue's end are caught.
    const auto catalogue = std::make_unique<unsigned char[]>(parts.front().size());
    std::copy(parts.front().begin(), parts.front().end(), catalogue.get());
    const VFILE table[] = {
        {2, "/applications.json", 0, static_cast<std::int64_t>(parts.front().size())}};
    HFileSystem disk(std::make_unique<HVirtualFileSystem>(
        table, 1, catalogue.get(), static_cast<std::int64_t>(parts.front().size())));

    const std::vector<std::string> args(parts.begin() + 1, parts.end());
    HApplication application(disk);
    if (application.initialize(args))
        application.url(application.serverAddress, application.serverPort);
    return 0;
}
