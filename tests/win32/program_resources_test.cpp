// What frostwisp.scr carries for Windows: the name the screen-saver list shows,
// the version record, the icon, the bitmaps and pictures, and the manifest.
// Read from the built program beside the test directory.
#include "toolkit/resources.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <cstring>
#include <vector>

namespace fw::testing {
namespace {

std::filesystem::path program()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return std::filesystem::path(self).parent_path().parent_path() / L"frostwisp.scr";
}

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(program())) GTEST_SKIP() << "frostwisp.scr not built";
        module = LoadLibraryExW(program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(module, nullptr);
    }
    void TearDown() override
    {
        if (module) FreeLibrary(module);
    }

    std::string_view bytes(const wchar_t* name, const wchar_t* type) const
    {
        HRSRC found = FindResourceW(module, name, type);
        if (!found) return {};
        HGLOBAL loaded = LoadResource(module, found);
        return {static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found)};
    }

    static std::string_view embedded(std::string_view name)
    {
        const auto data = embedded_resource(name);
        return {reinterpret_cast<const char*>(data.data()), data.size()};
    }

    HMODULE module = nullptr;
};

TEST_F(ProgramResources, ListedAsFrostwispWithItsIconAndVersion)
{
    wchar_t name[64] = {};
    ASSERT_GT(LoadStringW(module, 1, name, 64), 0);
    EXPECT_STREQ(name, L"Frostwisp");
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(100), MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(program().c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string record(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(program().c_str(), 0, size, record.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));    // 1.0
    EXPECT_EQ(fixed->dwFileVersionLS, MAKELONG(491, 0));  // .0.491
    const auto text = [&](const wchar_t* key) -> std::wstring {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + key;
        if (!VerQueryValueW(record.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) || !value) return {};
        return value;
    };
    EXPECT_EQ(text(L"ProductName"), L"Frostwisp");
    EXPECT_EQ(text(L"CompanyName"), L"The Frostwisp developers");
    EXPECT_EQ(text(L"LegalCopyright"), L"Copyright (c) 2026 The Frostwisp developers");

    // Windows picks the icon's picture of the size it draws: 16, 32, 48 and
    // 256 pixels (0 in the directory) each there in 32-bit colour, the
    // largest a PNG.
    const std::string_view group = bytes(MAKEINTRESOURCEW(100), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_GE(group.size(), 6u);
    const auto byte = [](std::string_view b, size_t at) { return static_cast<unsigned char>(b[at]); };
    const size_t count = byte(group, 4);
    ASSERT_EQ(group.size(), 6 + 14 * count);
    std::vector<int> sizes;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 14 * i;
        const int pixels = byte(group, entry) ? byte(group, entry) : 256;
        sizes.push_back(pixels);
        EXPECT_EQ(byte(group, entry + 6), 32) << pixels;  // wBitCount
        const int id = byte(group, entry + 12) | byte(group, entry + 13) << 8;
        const std::string_view picture = bytes(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
        ASSERT_GE(picture.size(), sizeof(BITMAPINFOHEADER)) << pixels;
        if (pixels == 256) {
            EXPECT_EQ(picture.substr(1, 3), "PNG");
        } else {
            BITMAPINFOHEADER header;
            std::memcpy(&header, picture.data(), sizeof header);
            EXPECT_EQ(header.biWidth, pixels);
            EXPECT_EQ(header.biBitCount, 32) << pixels;
        }
    }
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<int>{16, 32, 48, 256}));
}

TEST_F(ProgramResources, GradientBitmapsAreTheRunLengthFilesByNumber)
{
    for (const auto& [id, file] : {std::pair{101, "101.bmp"}, std::pair{102, "102.bmp"}}) {
        const std::string_view stored = bytes(MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2));  // RT_BITMAP
        ASSERT_GE(stored.size(), sizeof(BITMAPINFOHEADER)) << id;
        BITMAPINFOHEADER header;
        std::memcpy(&header, stored.data(), sizeof header);
        EXPECT_EQ(header.biWidth, 50) << id;
        EXPECT_EQ(header.biHeight, 480) << id;
        EXPECT_EQ(header.biBitCount, 4) << id;
        EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RLE4)) << id;
        // A bitmap resource is the file without its 14-byte file header.
        EXPECT_EQ(stored, embedded(file).substr(14)) << id;
    }
}

TEST_F(ProgramResources, PicturesAndManifest)
{
    EXPECT_EQ(bytes(L"PREVIEW", MAKEINTRESOURCEW(10)), embedded("preview.bmp"));  // RT_RCDATA
    EXPECT_EQ(bytes(L"INFO_BACKGROUND", MAKEINTRESOURCEW(10)), embedded("info_background.bmp"));

    const std::string_view manifest = bytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
    EXPECT_NE(manifest.find("<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2"),
              std::string_view::npos);
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string_view::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string_view::npos);
}

}  // namespace
}  // namespace fw::testing
