#include "toolkit/ini_store.h"
#include "toolkit/runtime_error.h"

#include "../support/headless_fixture.h"

namespace fw {
namespace {

using testing::read_text;
using testing::write_text;

class IniStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = std::filesystem::temp_directory_path() /
              ("frostwisp-ini-" + std::to_string(std::random_device{}()));
        std::filesystem::remove_all(dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path file() const { return dir / "frostwisp" / "frostwisp.ini"; }

    std::filesystem::path dir;
};

TEST_F(IniStoreTest, MissingFileReadsAsMissingKeysAndFirstWriteCreatesIt)
{
    IniStore store(dir);
    EXPECT_EQ(store.file_for("Frostwisp"), file());
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl"));
    store.write("Frostwisp", "Settings", "maxFl", "110");
    store.write("Frostwisp", "Settings", "SpeedF", "4.88");
    EXPECT_EQ(read_text(file()), "[Settings]\nmaxFl=110\nSpeedF=4.88\n");
    EXPECT_EQ(store.read("Frostwisp", "Settings", "SpeedF"), "4.88");
}

TEST_F(IniStoreTest, WritesKeepWhatTheyDoNotOwn)
{
    write_text(file(), "; written by hand\r\n[Other]\r\nmaxFl=1\r\n\r\n[settings]\r\n# keep me\r\nMAXFL = 90\r\nextra=yes\r\n\r\n[Tail]\r\nx=1\r\n");
    IniStore store(dir);
    EXPECT_EQ(store.read("Frostwisp", "Settings", "maxFl"), "90");  // names are case-insensitive, blanks trimmed
    store.write("Frostwisp", "Settings", "maxFl", "110");
    store.write("Frostwisp", "Settings", "rTime", "600");
    EXPECT_EQ(read_text(file()),
              "; written by hand\r\n[Other]\r\nmaxFl=1\r\n\r\n[settings]\r\n# keep me\r\nMAXFL=110\r\nextra=yes\r\nrTime=600\r\n\r\n[Tail]\r\nx=1\r\n");
    EXPECT_FALSE(std::filesystem::exists(file().string() + ".tmp"));
}

TEST_F(IniStoreTest, AFileWithoutTheSectionGetsItAppended)
{
    write_text(file(), "[Other]\nk=v\n\n\n");
    IniStore store(dir);
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "k"));
    store.write("Frostwisp", "Settings", "Date", "0");
    EXPECT_EQ(read_text(file()), "[Other]\nk=v\n\n[Settings]\nDate=0\n");
}

TEST_F(IniStoreTest, JunkIsReadAsEmptyAndOnlyAnExplicitWriteMovesItAside)
{
    const std::string junk("\x7f" "ELF\x02\x01\x01\0\0\0garbage\n[Settings]\nmaxFl=5\n", 32);
    write_text(file(), junk);
    IniStore store(dir);
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl"));
    EXPECT_EQ(read_text(file()), junk);  // reading never changes it
    store.write("Frostwisp", "Settings", "maxFl", "110");
    EXPECT_EQ(read_text(file()), "[Settings]\nmaxFl=110\n");
    EXPECT_EQ(read_text(file().string() + ".bad"), junk);

    write_text(file(), "this is not\nan ini file at all\n");
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl"));
}

TEST_F(IniStoreTest, UnwritableFolderRaisesARunTimeError)
{
    write_text(file(), "[Settings]\nmaxFl=7\n");
    IniStore store(dir / "frostwisp" / "frostwisp.ini");  // a file where the folder should be
    try {
        store.write("Frostwisp", "Settings", "maxFl", "110");
        FAIL() << "the write should fail";
    } catch (const RuntimeError& e) {
        EXPECT_NE(e.number(), 0);
    }
    EXPECT_EQ(read_text(file()), "[Settings]\nmaxFl=7\n");
}

TEST(IniText, ParseRejectsWhatIsNoIni)
{
    IniText ini;
    for (const char* good : {"", "\n", "[a]\nk=v\n", "; c\n# c\n  [ a ]  \n k = v \n", "k=\n", "[a]\r\nk=v"})
        EXPECT_TRUE(IniText::parse(good, ini)) << good;
    for (const char* bad : {"hello", "[a]\njust words\n", "=v\n", "k=v\x01\n"})
        EXPECT_FALSE(IniText::parse(bad, ini)) << bad;
}

}  // namespace
}  // namespace fw
