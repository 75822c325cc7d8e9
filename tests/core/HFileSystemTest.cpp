#include "HFileSystem.h"
#include "HDiskFileSystem.h"
#include "HVirtualFileSystem.h"
#include "LogCapture.h"
#include "TempFolder.h"

#include <boost/json/parse.hpp>
#include <gtest/gtest.h>

namespace {

HFileSystem virtualDisk(const std::vector<VFILE>& table, const std::string& blob) {
    return HFileSystem(
        std::make_unique<HVirtualFileSystem>(table.data(), static_cast<std::int64_t>(table.size()),
                                             reinterpret_cast<const unsigned char*>(blob.data()),
                                             static_cast<std::int64_t>(blob.size())));
}

} // namespace

TEST(HFile, EmptyHandleGivesEmptyResults) {
    const HFile none;
    EXPECT_FALSE(none.exists());
    EXPECT_EQ(none.size(), 0u);
    EXPECT_EQ(none.data(), nullptr);
    EXPECT_EQ(none.fullName(), "");
    EXPECT_EQ(none.extension(), "");
    EXPECT_EQ(none.string(), "");
    EXPECT_TRUE(none.json().is_null());
    EXPECT_FALSE(none.isFile());
}

TEST(HFile, ExtensionOfWholeName) {
    const std::pair<const char*, const char*> cases[] = {
        {"index.html", "html"},
        {"a.b.c", "c"},
        {"name.", ""},
        {".profile", ""},
        {"README", "README"},
        {"archive.tar.gz", "gz"},
        {"docs.old/readme", "old/readme"},
        {"/x/.hidden", "hidden"},
        {"/applications/LICENSE", "/applications/LICENSE"},
    };
    for (const auto& [name, extension] : cases)
        EXPECT_EQ(fileExtension(name), extension) << name;
}

TEST(HVirtualFileSystem, LookupRules) {
    const std::string blob = std::string("{\"a\":1} x") + std::string("z\0z", 3) + "first";
    const std::vector<VFILE> table{
        {1, "/applications", 0, 0},  {2, "/applications.json", 0, 7},
        {2, "/trailing.json", 0, 9}, {2, "/zero", 9, 3},
        {2, "/empty", 0, 0},         {2, "/dup", 100, 5}, // outside the blob: skipped silently
        {2, "/dup", 12, 5},          {2, "/dup", 0, 1},
    };
    const HFileSystem disk = virtualDisk(table, blob);

    const HFile catalogue = disk.file("applications.json");
    ASSERT_TRUE(catalogue.exists());
    EXPECT_EQ(catalogue.fullName(), "/applications.json");
    EXPECT_EQ(catalogue.extension(), "json");
    EXPECT_EQ(catalogue.json(), boost::json::parse(R"({"a":1})"));

    for (const char* missing : {"/applications.json", "Applications.json", "applications", ""})
        EXPECT_FALSE(disk.file(missing).exists()) << missing;
    EXPECT_FALSE(disk.file(std::string("applications.json\0x", 19)).exists());

    const HFile trailing = disk.file("trailing.json");
    EXPECT_TRUE(trailing.json().is_null());
    EXPECT_EQ(trailing.string(), "{\"a\":1} x");

    EXPECT_EQ(disk.file("zero").string(), std::string("z\0z", 3));

    const HFile empty = disk.file("empty");
    ASSERT_TRUE(empty.exists());
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(empty.string(), "");

    EXPECT_EQ(disk.file("dup").string(), "first");
    EXPECT_EQ(disk.absolutePath("a/b.html"), "vDisk:a/b.html");
}

TEST(HVirtualFileSystem, DamagedRecordIsLoggedAndSkipped) {
    const std::string blob = "ok";
    const std::vector<VFILE> table{{2, "", 0, 2}, {2, "/ok.txt", 0, 2}};
    const HFileSystem disk = virtualDisk(table, blob);
    LogCapture capture;
    EXPECT_EQ(disk.file("ok.txt").string(), "ok");
    using boost::log::trivial::error;
    const std::vector<LogCapture::Line> expected{
        {error, "HVirtualFileSystem::file.idx ::0"},
        {error, "HVirtualFileSystem::file.type::2"},
        {error, "HVirtualFileSystem::file.name::"},
    };
    EXPECT_EQ(capture.lines(), expected);
}

TEST(HVirtualFileSystem, CopyOfHandleOutlivesTheFirst) {
    const std::string blob = "abc";
    const std::vector<VFILE> table{{2, "/a", 0, 3}};
    const HFileSystem disk = virtualDisk(table, blob);
    HFile copy;
    {
        const HFile first = disk.file("a");
        copy = first;
    }
    EXPECT_EQ(copy.string(), "abc");
}

TEST(HDiskFileSystem, ReadsFilesInsideItsRootOnly) {
    TempFolder root;
    root.write("app/index.html", "<p>hi</p>");
    root.write("app/empty.txt", "");
    root.write("secret.txt", "secret");
    const HFileSystem disk(std::make_unique<HDiskFileSystem>((root.path / "app").string()));

    for (const char* path : {"index.html", "/index.html"}) {
        const HFile file = disk.file(path);
        ASSERT_TRUE(file.exists()) << path;
        EXPECT_EQ(file.string(), "<p>hi</p>");
        EXPECT_EQ(file.fullName(), path);
    }
    EXPECT_EQ(disk.absolutePath("index.html"), (root.path / "app/index.html").string());

    const HFile empty = disk.file("empty.txt");
    ASSERT_TRUE(empty.exists());
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_NE(empty.data(), nullptr);
    EXPECT_EQ(empty.string(), "");

    const char* refused[] = {
        "", "/", "missing.txt", "../secret.txt", "/../secret.txt", "sub/../../secret.txt", ".."};
    for (const char* path : refused)
        EXPECT_FALSE(disk.file(path).exists()) << path;
    EXPECT_FALSE(disk.file(std::string("index.html\0.png", 15)).exists());
}
