#pragma once

#include <string>

// The user's standard folders, as the freedesktop.org base-directory and user-directory
// conventions place them. Nothing is cached, tested or created.
namespace tessel {

std::string getConfigHome();
std::string getDataHome();
std::string getStateDir();
std::string getCacheDir();
std::string getDocumentsFolder();
std::string getDesktopFolder();
std::string getPicturesFolder();
std::string getMusicFolder();
std::string getVideoFolder();
std::string getDownloadFolder();
std::string getSaveGamesFolder1();
std::string getSaveGamesFolder2();

class PlatformFolders {
public:
    std::string getDocumentsFolder() const;
    std::string getDesktopFolder() const;
    std::string getPicturesFolder() const;
    std::string getMusicFolder() const;
    std::string getVideoFolder() const;
    std::string getDownloadFolder1() const;
    std::string getSaveGamesFolder1() const;
};

// HOME for an ordinary user; the password database's entry for the superuser, or when HOME is
// not set. Throws std::runtime_error when the lookup fails.
std::string getHome();

} // namespace tessel
