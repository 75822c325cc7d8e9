// HServer::processPatch on a real, unstarted server with the file and print services. The
// input's first line is the path, the rest the body. Folders to list are redirected to a
// temporary folder, so no run walks the real disk.
#include "HFileManager.h"
#include "HHttpApp.h"
#include "HJson.h"
#include "HPrintJobManager.h"
#include "HPrintManager.h"
#include "HServer.h"
#include "HServerResponse.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <string_view>

namespace fs = std::filesystem;

namespace {

fs::path folder;

void removeFolder() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

fs::path makeFolder() {
    std::string pattern = (fs::temp_directory_path() / "taviro-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        std::abort();
    const fs::path path = pattern;
    for (const char* name : {"abc", "Abc", ".hidden", "sub/inner.txt"}) {
        fs::create_directories((path / name).parent_path());
        std::ofstream(path / name) << name;
    }
    fs::create_directory_symlink(path / "sub", path / "alink");
    return path;
}

HServer& server() {
    static HServer instance;
    static const bool started = [] {
        folder = makeFolder();
        std::atexit(removeFolder);
        return instance.startService(std::make_shared<HFileManager>()) &&
               instance.startService(std::make_shared<HPrintManager>()) &&
               instance.startService(std::make_shared<HPrintJobManager>());
    }();
    if (!started)
        std::abort();
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    const std::string path(input.substr(0, newline));
    const std::string_view bodyText =
        newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    boost::json::value body = HJson::parse(bodyText);
    HServer& host = server();
    if (auto* object = body.if_object()) {
        auto* member = object->if_contains("folder");
        if (member != nullptr && member->is_string() && !member->as_string().empty())
            *member = folder.string();
        // A name filter is the page's own ECMAScript expression; one that backtracks without end
        // takes as long as the library's matcher does, a known limit and not a fault to find here.
        if (auto* filter = object->if_contains("filter"); filter != nullptr && filter->is_object())
            filter->as_object().erase("nameFilter");
    }

    HHttpResponse reply;
    HServerResponse response(reply);
    try {
        host.processPatch(response, path, body);
    } catch (const std::regex_error&) {
        // An invalid name filter: the framework answers an empty 500.
        return 0;
    }
    // Every request ends its reply.
    if (!reply.ended())
        __builtin_trap();
    return 0;
}
