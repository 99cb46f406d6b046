// The settings store in the registry, alone and under the settings procedures.
#include "toolkit/win32/registry_store.h"

#include "host/saver.h"
#include "toolkit/headless/headless_platform.h"
#include "tests/win32/win32_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace fw::testing {
namespace {

class RegistryStoreTest : public ::testing::Test {
protected:
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str()); }

    std::wstring settings_key() const { return root + L"\\Frostwisp\\Settings"; }

    void put(const wchar_t* name, DWORD type, const void* data, DWORD size) const
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, settings_key().c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }

    // The value's kind and text as the registry holds it.
    std::pair<DWORD, std::wstring> raw(const wchar_t* name) const
    {
        DWORD type = 0;
        wchar_t text[256] = {};
        DWORD size = sizeof text;
        if (RegGetValueW(HKEY_CURRENT_USER, settings_key().c_str(), name, RRF_RT_ANY, &type, text, &size) != ERROR_SUCCESS)
            return {REG_NONE, L""};
        return {type, text};
    }

    std::wstring root = fresh_registry_root();
    RegistryStore store{root};
};

TEST_F(RegistryStoreTest, MissingKeyAndMissingValueReadAsNothing)
{
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl").has_value());
    store.write("Frostwisp", "Settings", "SpeedF", "6");
    EXPECT_FALSE(store.read("Frostwisp", "Settings", "maxFl").has_value());
    EXPECT_EQ(store.read_or("Frostwisp", "Settings", "maxFl", "110"), "110");
}

TEST_F(RegistryStoreTest, WritesOneTextValuePerKeyAndReadsItBackUnchanged)
{
    store.write("Frostwisp", "Settings", "Size", "4,88");
    store.write("Frostwisp", "Settings", "Note", "Zufall \xC3\xA4");  // UTF-8 "ä"
    store.write("Frostwisp", "Settings", "Size", "5");

    EXPECT_EQ(raw(L"Size"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"5")));
    EXPECT_EQ(raw(L"Note"), std::make_pair(DWORD{REG_SZ}, std::wstring(L"Zufall \u00E4")));
    EXPECT_EQ(store.read("Frostwisp", "Settings", "Note"), "Zufall \xC3\xA4");
    EXPECT_EQ(store.read("Frostwisp", "Settings", "Size"), "5");
}

TEST_F(RegistryStoreTest, ValuesMadeByHandReadAsTheirText)
{
    const DWORD number = 200;
    put(L"maxFl", REG_DWORD, &number, sizeof number);
    const wchar_t unterminated[] = {L'4', L'2'};
    put(L"rTime", REG_SZ, unterminated, sizeof unterminated);
    const unsigned char bytes[] = {1, 2, 3};
    put(L"Date", REG_BINARY, bytes, sizeof bytes);
    put(L"Time", REG_SZ, L"", sizeof(wchar_t));

    EXPECT_EQ(store.read("Frostwisp", "Settings", "maxFl"), "200");
    EXPECT_EQ(store.read("Frostwisp", "Settings", "rTime"), "42");
    EXPECT_EQ(store.read("Frostwisp", "Settings", "Date"), "");
    EXPECT_EQ(store.read("Frostwisp", "Settings", "Time"), "");
}

// SaveConfig and LoadConfig see the registry through the store, exactly as the
// program does.
class RegistrySettingsTest : public RegistryStoreTest {
protected:
    void SetUp() override
    {
        HeadlessOptions options;
        options.settings = std::make_unique<RegistryStore>(root);
        backend = std::make_unique<HeadlessPlatform>(std::move(options));
        install_platform(backend.get());
        Saver::SaverSettings = {};
    }
    void TearDown() override
    {
        install_platform(nullptr);
        RegistryStoreTest::TearDown();
    }
    std::unique_ptr<HeadlessPlatform> backend;
};

TEST_F(RegistrySettingsTest, DefaultsSavedAsEightTextValues)
{
    Saver::LoadConfig();
    Saver::SaveConfig();

    const std::pair<const wchar_t*, const wchar_t*> expected[] = {
        {L"maxFl", L"110"}, {L"SpeedF", L"6"}, {L"Size", L"6"},   {L"Date", L"1"},
        {L"Time", L"1"},    {L"Restart", L"1"}, {L"rTime", L"600"}, {L"Background", L"4"},
    };
    for (const auto& [name, text] : expected) EXPECT_EQ(raw(name), std::make_pair(DWORD{REG_SZ}, std::wstring(text))) << name;

    HKEY key = nullptr;
    DWORD values = 0;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, settings_key().c_str(), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS);
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 8u);
}

TEST_F(RegistrySettingsTest, HandMadeNumberIsUsedAsStored)
{
    const DWORD number = 201;
    put(L"maxFl", REG_DWORD, &number, sizeof number);
    put(L"Background", REG_SZ, L"2", 2 * sizeof(wchar_t));
    Saver::LoadConfig();
    EXPECT_EQ(Saver::SaverSettings.maxFl, 201);
    EXPECT_EQ(Saver::SaverSettings.minFl, 100);  // 100.5 to even
    EXPECT_EQ(Saver::SaverSettings.Background, 2);
    EXPECT_FALSE(Saver::SaverSettings.RandomBack);
}

}  // namespace
}  // namespace fw::testing
