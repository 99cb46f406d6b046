// The settings file on disk: one write per save, kept beside what it does
// not own, through a link, with its mode, and nothing lost when the file is
// no settings file at all.
#include "toolkit/linux/ini_store.h"
#include "toolkit/runtime_error.h"

#include "../support/headless_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>

namespace fw {
namespace {

using testing::read_text;
using testing::write_text;

class IniStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() / ("frostwisp-ini-" + std::to_string(std::random_device{}()));
        std::filesystem::remove_all(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path file() const { return dir / "frostwisp" / "frostwisp.ini"; }
    // Everything in the settings folder but the file itself: temporary files
    // must not be left behind.
    std::vector<std::string> others() const
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir / "frostwisp"))
            if (e.path() != file()) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::filesystem::path dir;
};

TEST_F(IniStoreTest, ASaveWritesItsKeysInOrderBesideWhatItDoesNotOwn)
{
    IniStore store(dir);
    EXPECT_EQ(store.file_for("Frostwisp"), file());
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl"));
    store.write_all("Frostwisp", "Settings", {{"SpeedF", "4.88"}, {"maxFl", "110"}});
    EXPECT_EQ(read_text(file()), "[Settings]\nSpeedF=4.88\nmaxFl=110\n");
    EXPECT_EQ(store.read("Frostwisp", "Settings", "SpeedF"), "4.88");

    write_text(file(), "; written by hand\r\n[Other]\r\nmaxFl=1\r\n\r\n[settings]\r\n# keep me\r\nMAXFL = 90\r\nextra=yes\r\n\r\n[Tail]\r\nx=1\r\n");
    EXPECT_EQ(store.read("Frostwisp", "Settings", "maxFl"), "90");  // names are case-insensitive, blanks trimmed
    store.write_all("Frostwisp", "Settings", {{"maxFl", "110"}, {"rTime", "600"}});
    EXPECT_EQ(read_text(file()),
              "; written by hand\r\n[Other]\r\nmaxFl=1\r\n\r\n[settings]\r\n# keep me\r\nMAXFL=110\r\nextra=yes\r\nrTime=600\r\n\r\n[Tail]\r\nx=1\r\n");
    EXPECT_TRUE(others().empty());
}

TEST_F(IniStoreTest, ALinkedFileIsWrittenThroughWithItsMode)
{
    const std::filesystem::path real = dir / "dotfiles" / "frostwisp.ini";
    write_text(real, "[Settings]\nmaxFl=7\n");
    ::chmod(real.c_str(), 0600);
    std::filesystem::create_directories(file().parent_path());
    std::filesystem::create_symlink("../dotfiles/frostwisp.ini", file());
    IniStore store(dir);
    EXPECT_EQ(store.read("Frostwisp", "Settings", "maxFl"), "7");
    store.write("Frostwisp", "Settings", "maxFl", "110");
    EXPECT_TRUE(std::filesystem::is_symlink(file()));
    EXPECT_EQ(read_text(real), "[Settings]\nmaxFl=110\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(real.parent_path()), {}), 1);  // no temporary left
}

TEST_F(IniStoreTest, NoTextAtAllIsMovedAsideAndNeverOverAnEarlierOne)
{
    const std::string junk("\x7f" "ELF\x02\x01\x01\0\0\0garbage\n\0\0\0\x03\0>\0", 24);
    write_text(file(), junk);
    IniStore store(dir);
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl"));
    EXPECT_EQ(read_text(file()), junk);  // reading never changes it
    store.write("Frostwisp", "Settings", "maxFl", "110");
    EXPECT_EQ(read_text(file()), "[Settings]\nmaxFl=110\n");
    write_text(file(), junk + "second");
    store.write("Frostwisp", "Settings", "maxFl", "110");
    EXPECT_EQ(others(), (std::vector<std::string>{"frostwisp.ini.bad", "frostwisp.ini.bad.1"}));
    EXPECT_EQ(read_text(file().string() + ".bad"), junk);
    EXPECT_EQ(read_text(file().string() + ".bad.1"), junk + "second");
}

TEST_F(IniStoreTest, WhatIsNoFileOrNoFolderFailsTheSaveAndIsLeftAlone)
{
    std::filesystem::create_directories(file().parent_path());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    IniStore store(dir);
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl"));  // at once: a pipe is never waited on
    EXPECT_THROW(store.write("Frostwisp", "Settings", "maxFl", "110"), RuntimeError);
    EXPECT_TRUE(std::filesystem::is_fifo(file()));
    EXPECT_TRUE(others().empty());
    IniStore blocked(file());  // no folder where one should be
    EXPECT_THROW(blocked.write("Frostwisp", "Settings", "maxFl", "110"), RuntimeError);

    IniStore nowhere({});  // a user without a home
    EXPECT_FALSE(nowhere.read("Frostwisp", "Settings", "maxFl"));
    try {
        nowhere.write("Frostwisp", "Settings", "maxFl", "110");
        FAIL() << "a save without a folder should fail";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), err::path_not_found);
    }
}

}  // namespace
}  // namespace fw
