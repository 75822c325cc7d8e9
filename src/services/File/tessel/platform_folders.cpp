#include "platform_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace tessel {

std::string getHome() {
    const uid_t uid = getuid();
    const char* home = std::getenv("HOME");
    if (uid != 0 && home != nullptr)
        return home;

    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size < 0)
        size = 16384;
    std::vector<char> buffer(static_cast<std::size_t>(size));
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0)
        throw std::runtime_error("Unable to get passwd struct.");
    if (found == nullptr)
        throw std::runtime_error("No passwd entry for the user.");
    if (entry.pw_dir == nullptr)
        throw std::runtime_error("User has no home directory");
    return entry.pw_dir;
}

namespace {

// A base directory from its variable when that holds an absolute path, else below home.
std::string baseDirectory(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] == '/')
        return value;
    return getHome() + fallback;
}

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The folder that user-dirs.dirs names for the key (such as XDG_DOCUMENTS_DIR), else home and
// the usual name.
std::string userDirectory(const std::string& key, const char* fallback) {
    const std::string home = getHome();
    std::ifstream file(getConfigHome() + "/user-dirs.dirs");
    std::string line;
    while (std::getline(file, line)) {
        if (line.compare(0, key.size() + 1, key + "=") != 0)
            continue;
        std::string value = line.substr(key.size() + 1);
        if (value.size() < 2 || value.front() != '"' || value.back() != '"')
            continue;
        value = value.substr(1, value.size() - 2);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        if (!value.empty() && value.front() == '/')
            return withoutTrailingSlash(value);
    }
    return home + fallback;
}

} // namespace

std::string getConfigHome() {
    return baseDirectory("XDG_CONFIG_HOME", "/.config");
}
std::string getDataHome() {
    return baseDirectory("XDG_DATA_HOME", "/.local/share");
}
std::string getStateDir() {
    return baseDirectory("XDG_STATE_HOME", "/.local/state");
}
std::string getCacheDir() {
    return baseDirectory("XDG_CACHE_HOME", "/.cache");
}

std::string PlatformFolders::getDocumentsFolder() const {
    return userDirectory("XDG_DOCUMENTS_DIR", "/Documents");
}
std::string PlatformFolders::getDesktopFolder() const {
    return userDirectory("XDG_DESKTOP_DIR", "/Desktop");
}
std::string PlatformFolders::getPicturesFolder() const {
    return userDirectory("XDG_PICTURES_DIR", "/Pictures");
}
std::string PlatformFolders::getMusicFolder() const {
    return userDirectory("XDG_MUSIC_DIR", "/Music");
}
std::string PlatformFolders::getVideoFolder() const {
    return userDirectory("XDG_VIDEOS_DIR", "/Videos");
}
std::string PlatformFolders::getDownloadFolder1() const {
    return userDirectory("XDG_DOWNLOAD_DIR", "/Downloads");
}
std::string PlatformFolders::getSaveGamesFolder1() const {
    return getDataHome();
}

std::string getDocumentsFolder() {
    return PlatformFolders().getDocumentsFolder();
}
std::string getDesktopFolder() {
    return PlatformFolders().getDesktopFolder();
}
std::string getPicturesFolder() {
    return PlatformFolders().getPicturesFolder();
}
std::string getMusicFolder() {
    return PlatformFolders().getMusicFolder();
}
std::string getVideoFolder() {
    return PlatformFolders().getVideoFolder();
}
std::string getDownloadFolder() {
    return PlatformFolders().getDownloadFolder1();
}
std::string getSaveGamesFolder1() {
    return PlatformFolders().getSaveGamesFolder1();
}
std::string getSaveGamesFolder2() {
    return PlatformFolders().getSaveGamesFolder1();
}

} // namespace tessel
