#include "errors/err_ptnr.h"
#include "errors/trap.h"

#include "../support/headless_fixture.h"

#include <cstring>

namespace fw {
namespace {

using testing::count_of;

class ErrPtnrTest : public testing::HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        options.clock.tm_year = 126;
        options.clock.tm_mon = 11;
        options.clock.tm_mday = 8;
        options.clock.tm_hour = 9;
        options.clock.tm_min = 5;
        options.clock.tm_sec = 7;
    }

    static void fail(int number, const char* module = "frmMain", const char* procedure = "Form_Resize")
    {
        Trap trap(module, procedure);
        int attempts = 0;
        trap.line(50010, [] {});
        trap.line(50020, [&] {
            if (attempts++ == 0) throw RuntimeError(number);
        });
    }
};

TEST_F(ErrPtnrTest, ProtocolBlockByteForByte)
{
    std::strcpy(options.version.csd_version, "Service Pack 1");
    start();
    fail(9);
    const std::string dashes(70, '-');
    const std::string ten(10, ' ');
    const std::string expected =
        dashes + "\r\n" +
        "F E H L E R P R O T O K O L L  /  E R R O R   P R O T O C O L L\r\n" +
        dashes + "\r\n" +
        "PROGRAMM-INFO:\r\n" +
        ten + "frostwisp  V1.0.491\r\n" +
        dashes + "\r\n" +
        "FEHLERBESCHREIBUNG / ERROR DESCRIPTION:\r\n" +
        ten + "Fehler-Nr / error :\t9 (Subscript out of range)\r\n" +
        ten + "Modul:\tfrmMain\r\n" +
        ten + "Prozedur / procedure:\tForm_Resize\r\n" +
        ten + "Zeile / Line:\t50020\r\n" +
        ten + "Datum/Uhrzeit (Date/Time):\t12-08-2026 / 09:05:07\r\n" +
        dashes + "\r\n" +
        "SYSTEMINFO:\r\n" +
        ten + "Plattform/Environment:\tWindows NT\r\n" +
        ten + "Version:\t6.1\r\n" +
        ten + "Build:\t7601   Service Pack 1\r\n" +
        dashes + "\r\n" +
        "\r\n";
    EXPECT_EQ(protocol(), expected);
    EXPECT_EQ(backend->calls, std::vector<std::string>{"beep"});
}

TEST_F(ErrPtnrTest, SystemLinesFollowTheVersionRecord)
{
    start();
    auto system_part = [&] {
        const std::string text = ErrPtnr::instance().BuildProtocol();
        return text.substr(text.find("SYSTEMINFO:\r\n") + 13);
    };
    const std::string ten(10, ' ');
    const std::string tail = std::string(70, '-') + "\r\n";

    backend->options().version = {148, 4, 10, (4u << 24) | (10u << 16) | 2222u, platform_windows_9x, {}};
    EXPECT_EQ(system_part(), ten + "Plattform/Environment:\tWindows 9x\r\n" + ten + "Version:\t4.10\r\n" + ten +
                                 "Build:\t2222   \r\n" + tail);

    backend->options().version = {148, 5, 0, 1, 3, {}};  // unknown platform: no name, no line break
    EXPECT_EQ(system_part(), ten + "Plattform/Environment:\t" + ten + "Version:\t5.0\r\n" + ten + "Build:\t1   \r\n" + tail);

    backend->options().version_call_succeeds = false;  // a failing call leaves the record zeroed
    EXPECT_EQ(system_part(), ten + "Plattform/Environment:\tWin32s\r\n" + ten + "Version:\t0.0\r\n" + ten +
                                 "Build:\t0   \r\n" + tail);
}

TEST_F(ErrPtnrTest, LaterReportsAppendWithTheirOwnItems)
{
    start();
    fail(13, "Saver", "LoadConfig");
    fail(0x7FFF, "frmConfig", "Form_Load");
    const std::string p = protocol();
    EXPECT_EQ(count_of(p, "PROGRAMM-INFO:\r\n          frostwisp  V1.0.491\r\n"), 2);
    EXPECT_LT(p.find("13 (Type mismatch)"), p.find("32767 (Application-defined or object-defined error)"));
    EXPECT_EQ(count_of(p, std::string(70, '-') + "\r\n\r\n"), 2);  // an empty line after each block
    EXPECT_EQ(p.substr(p.size() - 4), "\r\n\r\n");
}

TEST_F(ErrPtnrTest, EmptyDescriptionGivesAnEmptyPairOfBrackets)
{
    start();
    Trap trap("Saver", "Main");
    int attempts = 0;
    trap.line(50010, [&] {
        if (attempts++ == 0) throw RuntimeError(1234, "");
    });
    EXPECT_NE(protocol().find("Fehler-Nr / error :\t1234 ()\r\n"), std::string::npos);
}

TEST_F(ErrPtnrTest, UnwritableProgramFolderFallsBackToTheStateFolder)
{
    // A directory in the place of the protocol file makes it unopenable, even for root.
    std::filesystem::create_directories(dir / "bin" / "frostwisp.EPT");
    start();
    fail(6);
    EXPECT_NE(testing::read_text(dir / "state" / "frostwisp.EPT").find("6 (Overflow)"), std::string::npos);
    EXPECT_EQ(backend->calls, std::vector<std::string>{"beep"});
}

TEST_F(ErrPtnrTest, NowhereToWriteStillBeepsAndGoesOn)
{
    std::filesystem::create_directories(dir / "bin" / "frostwisp.EPT");
    testing::write_text(dir / "state", "a file where the folder should be");
    start();
    fail(6);
    EXPECT_EQ(backend->calls, std::vector<std::string>{"beep"});
}

TEST_F(ErrPtnrTest, ReportInTheFullScreenSaverEndsIt)
{
    start();
    Saver::SaverMode = true;
    EXPECT_THROW(fail(9), ProgramEnd);
    EXPECT_EQ(count_of(protocol(), "9 (Subscript out of range)"), 1);
    EXPECT_EQ(backend->calls.front(), "beep");
    EXPECT_EQ(backend->calls.back(), "end");
}

TEST(LPSTRToVBString, CutsAtTheFirstNul)
{
    using namespace std::string_literals;
    EXPECT_EQ(ErrPtnr::LPSTRToVBString("Service Pack 3\0junk"s), "Service Pack 3");
    EXPECT_EQ(ErrPtnr::LPSTRToVBString("\0"s), "");
    EXPECT_EQ(ErrPtnr::LPSTRToVBString("no terminator"), "");
}

}  // namespace
}  // namespace fw
