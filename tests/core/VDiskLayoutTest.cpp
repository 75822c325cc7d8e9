#include "VDiskLayout.h"
#include "HFileSystem.h"
#include "HVirtualFileSystem.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

TEST(VDiskLayout, DepthFirstUpperCaseOrderAndConsecutiveBytes) {
    TempFolder folder;
    folder.write("zeta.txt", "zz");
    folder.write("Alpha/inner.bin", std::string("\0\1\2", 3));
    folder.write("Alpha/_x.txt", "x");
    folder.write("beta.txt", "");
    std::filesystem::create_directories(folder.path / "_installers");
    std::filesystem::create_directories(folder.path / "server");

    const auto entries = layoutImage(folder.path);
    struct Expected {
        int type;
        std::string name;
        std::int64_t offset, size;
    };
    const std::vector<Expected> expected{
        {1, "/Alpha", 0, 0},       {2, "/Alpha/inner.bin", 0, 3}, {2, "/Alpha/_x.txt", 3, 1},
        {2, "/beta.txt", 4, 0},    {1, "/server", 0, 0},          {2, "/zeta.txt", 4, 2},
        {1, "/_installers", 0, 0},
    };
    ASSERT_EQ(entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(entries[i].type, expected[i].type) << expected[i].name;
        EXPECT_EQ(entries[i].name, expected[i].name);
        EXPECT_EQ(entries[i].offset, expected[i].offset) << expected[i].name;
        EXPECT_EQ(entries[i].size, expected[i].size) << expected[i].name;
    }

    const std::string data = imageData(entries);
    EXPECT_EQ(data, std::string("\0\1\2xzz", 6));

    std::vector<VFILE> table;
    for (const auto& entry : entries)
        table.push_back({entry.type, entry.name.c_str(), entry.offset, entry.size});
    const HFileSystem disk(
        std::make_unique<HVirtualFileSystem>(table.data(), static_cast<std::int64_t>(table.size()),
                                             reinterpret_cast<const unsigned char*>(data.data()),
                                             static_cast<std::int64_t>(data.size())));
    EXPECT_EQ(disk.file("zeta.txt").string(), "zz");
    EXPECT_EQ(disk.file("Alpha/_x.txt").string(), "x");
    EXPECT_TRUE(disk.file("beta.txt").exists());
    EXPECT_FALSE(disk.file("Alpha").exists());
}
