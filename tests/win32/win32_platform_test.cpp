// The Windows system services: the command text, the version record in the
// error protocol, regional texts, foreign windows and the screen snapshot.
#include "toolkit/win32/win32_platform.h"

#include "errors/err_ptnr.h"
#include "tests/win32/win32_fixture.h"

#include <gtest/gtest.h>

#include <regex>

namespace fw::testing {
namespace {

TEST(CommandText, IsEverythingAfterTheProgramPath)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"("C:\Program Files\Frostwisp\frostwisp.scr" /S)", " /S"},
        {R"("C:\a b\frostwisp.scr"/p 1234)", "/p 1234"},
        {R"(C:\WINDOWS\frostwisp.scr /c:3344)", " /c:3344"},
        {"frostwisp.scr\t/A 12", "\t/A 12"},
        {R"("C:\x.scr")", ""},
        {"frostwisp.scr", ""},
        {R"("C:\unterminated /S)", ""},
        {"", ""},
    };
    for (const auto& [line, arguments] : cases) EXPECT_EQ(Win32Platform::arguments_of(line), arguments) << line;
}

class Win32PlatformTest : public Win32Test {};

TEST_F(Win32PlatformTest, ProtocolNamesTheWindowsVersionTheSystemReports)
{
    OsVersionInfo info;
    ASSERT_TRUE(backend->get_version(info));
    EXPECT_EQ(info.platform_id, platform_windows_nt);
    EXPECT_GE(info.major, 5u);

    const std::string protocol = ErrPtnr::instance().BuildProtocol();
    EXPECT_NE(protocol.find("          Plattform/Environment:\tWindows NT\r\n"), std::string::npos) << protocol;
    const std::string version = "          Version:\t" + std::to_string(info.major) + "." + std::to_string(info.minor) + "\r\n";
    EXPECT_NE(protocol.find(version), std::string::npos) << protocol;
    EXPECT_TRUE(std::regex_search(protocol, std::regex("          Build:\t" + std::to_string(info.build & 0xFFFF) + "   [^\r\n]*\r\n")));
}

TEST_F(Win32PlatformTest, DateAndTimeComeInTheUsersFormatsWithTheirNumbers)
{
    std::tm when{};
    when.tm_year = 126;
    when.tm_mon = 11;
    when.tm_mday = 24;
    when.tm_hour = 18;
    when.tm_min = 5;
    when.tm_sec = 9;
    const std::string date = backend->short_date_text(when);
    const std::string time = backend->long_time_text(when);
    EXPECT_NE(date.find("24"), std::string::npos) << date;
    EXPECT_NE(date.find("12"), std::string::npos) << date;
    EXPECT_NE(time.find("05"), std::string::npos) << time;
    EXPECT_NE(time.find("09"), std::string::npos) << time;
    const char separator = backend->decimal_separator();
    EXPECT_TRUE(separator == '.' || separator == ',') << separator;
}

TEST_F(Win32PlatformTest, ClientSizeOnlyOfAWindowThatExists)
{
    HWND parent = make_foreign_window(152, 112);
    int w = -1, h = -1;
    ASSERT_TRUE(backend->client_size(reinterpret_cast<NativeHandle>(parent), w, h));
    EXPECT_EQ(w, 152);
    EXPECT_EQ(h, 112);

    DestroyWindow(parent);
    EXPECT_FALSE(backend->client_size(reinterpret_cast<NativeHandle>(parent), w, h));
    EXPECT_FALSE(backend->client_size(0, w, h));
}

// A form that shows a solid colour: something known on the screen to read back.
class Swatch : public Form {
public:
    explicit Swatch(Color colour) : Form("Swatch", swatch_design(colour)) {}
    void Form_Resize() override
    {
        surface().fill_rect(0, 0, ScaleWidth(), ScaleHeight(), design().back_color);
        Refresh();
    }

private:
    static FormDesign swatch_design(Color colour)
    {
        FormDesign d;
        d.border = BorderStyle::none;
        d.client_width_px = 20;
        d.client_height_px = 10;
        d.back_color = colour;
        return d;
    }
};

TEST_F(Win32PlatformTest, SnapshotIsInScreenCoordinatesAndBlackBeyondTheVirtualScreen)
{
    Swatch& swatch = Forms::create<Swatch>(rgb(200, 30, 40));
    swatch.Load();
    const int vx = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int vy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    swatch.window().move(vx + 40, vy + 30, 20, 10);
    swatch.Show();
    swatch.window().set_topmost(true, false);
    pump(std::chrono::milliseconds(300));

    const Image shot = backend->capture_screen(vx + 30, vy + 20, 40, 30);
    ASSERT_EQ(shot.width, 40);
    ASSERT_EQ(shot.height, 30);
    EXPECT_EQ(shot.at(10, 10), rgb(200, 30, 40));  // the swatch's top-left pixel
    EXPECT_EQ(shot.at(29, 19), rgb(200, 30, 40));  // and its bottom-right one
    EXPECT_NE(shot.at(9, 10), rgb(200, 30, 40));
    EXPECT_NE(shot.at(30, 19), rgb(200, 30, 40));
    EXPECT_NE(shot.at(29, 20), rgb(200, 30, 40));

    const Image beyond = backend->capture_screen(vx + backend->screen_width_px() - 2, vy, 4, 1);
    EXPECT_EQ(beyond.at(2, 0), rgb(0, 0, 0));
    EXPECT_EQ(beyond.at(3, 0), rgb(0, 0, 0));
}

}  // namespace
}  // namespace fw::testing
