#include "toolkit/linux/override_store.h"

#include "host/saver.h"

#include "../support/headless_fixture.h"

namespace fw {
namespace {

class OverrideStoreTest : public testing::HeadlessTest {
protected:
    // Installs the backend with the overrides over the test's memory store.
    void start_with(SettingOverrides overrides, char decimal_separator = '.')
    {
        options.decimal_separator = decimal_separator;
        options.settings = std::make_unique<OverrideStore>(std::move(options.settings), overrides, "Frostwisp", "Settings");
        start();
    }
    SettingsStore& store() { return backend->settings(); }
};

TEST_F(OverrideStoreTest, AnswersOverriddenKeysAndPassesTheRestOn)
{
    memory->write("Frostwisp", "Settings", "maxFl", "110");
    memory->write("Frostwisp", "Settings", "Size", "6");
    memory->write("Other", "Settings", "maxFl", "7");
    SettingOverrides o;
    o.max_flakes = 500;
    start_with(o);

    EXPECT_EQ(store().read("Frostwisp", "Settings", "maxFl"), "500");
    EXPECT_EQ(store().read("Frostwisp", "Settings", "Size"), "6");
    EXPECT_EQ(store().read("Frostwisp", "Settings", "Date"), std::nullopt);
    EXPECT_EQ(store().read("Other", "Settings", "maxFl"), "7");
    EXPECT_EQ(store().read("Frostwisp", "Elsewhere", "maxFl"), std::nullopt);
}

TEST_F(OverrideStoreTest, WritesReachTheStoreButTheRunKeepsTheFlagsValue)
{
    SettingOverrides o;
    o.background = 1;
    start_with(o);
    store().write("Frostwisp", "Settings", "Background", "3");
    EXPECT_EQ(memory->read("Frostwisp", "Settings", "Background"), "3");
    EXPECT_EQ(store().read("Frostwisp", "Settings", "Background"), "1");
}

TEST_F(OverrideStoreTest, LoadConfigSeesEveryFlag)
{
    memory->write("Frostwisp", "Settings", "maxFl", "200");
    memory->write("Frostwisp", "Settings", "Date", "1");
    SettingOverrides o;
    o.max_flakes = 40;
    o.speed = 2.5;
    o.size = 9.25;
    o.date = false;
    o.time = false;
    o.restart = true;
    o.restart_minutes = 5;
    o.background = 4;
    start_with(o);
    Saver::LoadConfig();
    const SaverSettingsRecord& s = Saver::SaverSettings;
    EXPECT_EQ(s.maxFl, 40);
    EXPECT_EQ(s.minFl, 20);
    EXPECT_FLOAT_EQ(s.SpeedF, 2.5f);
    EXPECT_FLOAT_EQ(s.Size, 9.25f);
    EXPECT_EQ(s.Date, 0);
    EXPECT_EQ(s.Time, 0);
    EXPECT_NE(s.Restart, 0);
    EXPECT_EQ(s.rTime, 300);
    EXPECT_EQ(s.Background, 4);
    EXPECT_TRUE(s.RandomBack);
    EXPECT_EQ(protocol(), "");  // nothing unreadable was reported
}

TEST_F(OverrideStoreTest, FractionsUseTheDecimalSeparatorTheReaderExpects)
{
    SettingOverrides o;
    o.speed = 6.5;
    start_with(o, ',');
    EXPECT_EQ(store().read("Frostwisp", "Settings", "SpeedF"), "6,5");
    Saver::LoadConfig();
    EXPECT_FLOAT_EQ(Saver::SaverSettings.SpeedF, 6.5f);
    EXPECT_EQ(protocol(), "");
}

}  // namespace
}  // namespace fw
