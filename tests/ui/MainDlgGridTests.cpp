// The configuration grid's clicks and colours, the calibration lock, and the
// user ID cells with and without SUM_ID.
#include "MainWindowBench.h"

#include <gtest/gtest.h>

namespace {

constexpr int kCp = ConfigCellId(0, 13);     // "CP" of the default device
constexpr int kFosc0 = ConfigCellId(0, 0);   // "FOSC0"
constexpr int kUnused = ConfigCellId(0, 12); // "-"

std::vector<std::string> UserIdCells(const CTestWindowHost& h) {
    std::vector<std::string> texts;
    for (int k = 1; k <= 8; ++k) {
        texts.push_back(h.Text(UserIdCellId(k)));
    }
    return texts;
}

} // namespace

TEST(MainWindowGrid, ClicksFlipNamedBitsOnly) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    const int repaints = h.RepaintCount(kFosc0);
    ASSERT_TRUE(h.Click(kFosc0));
    EXPECT_EQ(b.Device().Config[0], 0x3FFEu);
    EXPECT_EQ(h.Text(WordLabelId(0)), "3FFE");
    EXPECT_EQ(h.Text(kFosc0), "FOSC0");
    EXPECT_GT(h.RepaintCount(kFosc0), repaints);
    EXPECT_EQ(h.Background(kFosc0), ECellBackground::Default);

    ASSERT_TRUE(h.Click(kUnused));
    EXPECT_EQ(b.Device().Config[0], 0x3FFEu) << "\"-\" is no bit to set";
    EXPECT_FALSE(h.Click(ConfigCellId(1, 0))) << "a row beyond the last word is disabled";

    ASSERT_TRUE(h.Click(kFosc0));
    EXPECT_EQ(h.Text(WordLabelId(0)), "3FFF");
    EXPECT_EQ(h.Background(kFosc0), ECellBackground::Set);
    EXPECT_EQ(b.Station().Writer().Config[0], 0x3FFFu) << "only the selected device changes";
}

TEST(MainWindowGrid, ProtectBitColoursFollowTheProtectView) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    // Protect view on (first run): the CP bit is coloured when it protects.
    EXPECT_EQ(h.Background(kCp), ECellBackground::Default);
    EXPECT_EQ(h.Background(ConfigCellId(0, 11)), ECellBackground::Set) << "DEBUG, 1: green";
    EXPECT_EQ(h.Background(kUnused), ECellBackground::Set) << "an unnamed bit shows its value too";
    ASSERT_TRUE(h.Click(kCp));
    EXPECT_EQ(h.Background(kCp), ECellBackground::Protected);
    ASSERT_TRUE(h.Click(kCp));
    EXPECT_EQ(h.Background(kCp), ECellBackground::Default);

    // Cancelled protect settings change nothing.
    b.Script.QueueDialog(kIddProtect, [](CTestWindowHost& d) {
        d.Click(kIdcViewProtect);
        d.Click(kIdcDisProtect);
        d.Click(kIdCancel);
    });
    ASSERT_TRUE(h.ChooseMenu(kIdmProtectSettings));
    EXPECT_TRUE(b.Window.m_bViewProtect);
    EXPECT_FALSE(b.Window.m_bDisProtect);

    // Off: like every other bit, and repainted at once.
    b.Script.QueueDialog(kIddProtect, [](CTestWindowHost& d) {
        EXPECT_TRUE(d.Checked(kIdcViewProtect));
        d.Click(kIdcViewProtect);
        d.Click(kIdOk);
    });
    const int repaints = h.RepaintCount(kCp);
    ASSERT_TRUE(h.ChooseMenu(kIdmProtectSettings));
    EXPECT_FALSE(b.Window.m_bViewProtect);
    EXPECT_GT(h.RepaintCount(kCp), repaints);
    EXPECT_EQ(h.Background(kCp), ECellBackground::Set);
    ASSERT_TRUE(h.Click(kCp));
    EXPECT_EQ(h.Background(kCp), ECellBackground::Default);
    ASSERT_TRUE(h.Click(kCp));
    EXPECT_EQ(h.Background(kCp), ECellBackground::Set);
    EXPECT_EQ(h.Background(kIdcStatus), ECellBackground::Default) << "only the cells are coloured";
}

TEST(MainWindowGrid, CalibrationBitsAreLockedUntilTheDialogAllowsThem) {
    CMainWindowBench b("PIC12F675");
    CTestWindowHost& h = b.Host;
    const int bg1 = ConfigCellId(0, 13);
    EXPECT_EQ(h.Text(bg1), "BG1") << "the calibration mark is not shown";
    const uint32_t before = b.Device().Config[0];
    ASSERT_TRUE(h.Click(bg1));
    EXPECT_EQ(b.Device().Config[0], before);

    b.Script.QueueDialog(kIddCalibration, [](CTestWindowHost& d) {
        d.Click(kIdcRewriteCalibration);
        d.Click(kIdCancel);
    });
    ASSERT_TRUE(h.ChooseMenu(kIdmCalibrationSettings));
    ASSERT_TRUE(h.Click(bg1));
    EXPECT_EQ(b.Device().Config[0], before) << "Cancel allowed nothing";

    b.Script.QueueDialog(kIddCalibration, [](CTestWindowHost& d) {
        EXPECT_FALSE(d.Checked(kIdcRewriteCalibration));
        d.Click(kIdcRewriteCalibration);
        d.Click(kIdOk);
    });
    ASSERT_TRUE(h.ChooseMenu(kIdmCalibrationSettings));
    EXPECT_TRUE(b.Window.m_bRewriteCalibration);
    ASSERT_TRUE(h.Click(bg1));
    EXPECT_EQ(b.Device().Config[0], before ^ 0x2000u);
}

TEST(MainWindowGrid, ClicksWaitForARunningOperationButPagingAndUserIdDoNot) {
    CMainWindowBench b("PIC18F452");
    ASSERT_TRUE(b.Connect());
    b.Link.PauseAtPacket(30);
    ASSERT_TRUE(b.Host.Click(kIdcRead));
    ASSERT_TRUE(b.Link.WaitUntilPaused());
    const int fosc0 = ConfigCellId(1, 0);
    const uint32_t before = b.Device().Config[1];
    ASSERT_TRUE(b.Host.Click(fosc0));
    EXPECT_EQ(b.Device().Config[1], before);
    EXPECT_TRUE(b.Host.Click(kIdcNext));
    EXPECT_TRUE(b.Host.Click(kIdcPrev));
    EXPECT_TRUE(b.Host.Click(UserIdCellId(1)));
    EXPECT_EQ(b.Device().UserId[0], 0x00u);
    b.Link.Resume();
    ASSERT_TRUE(b.RunToEnd());
    EXPECT_EQ(b.Device().UserId[0], 0xFFu) << "the read brought the chip's ID";
    const uint32_t read = b.Device().Config[1];
    ASSERT_TRUE(b.Host.Click(fosc0));
    EXPECT_EQ(b.Device().Config[1], read ^ 1u);
}

TEST(MainWindowUserId, CellsCountUpAndWrap) {
    CMainWindowBench b;
    for (const char* expected : {"0", "1", "2", "3"}) {
        ASSERT_TRUE(b.Host.Click(UserIdCellId(1)));
        EXPECT_EQ(b.Host.Text(UserIdCellId(1)), expected);
    }
    EXPECT_FALSE(b.Host.Click(UserIdCellId(5)));

    ASSERT_TRUE(b.ChooseDevice("PIC18F452"));
    EXPECT_EQ(UserIdCells(b.Host), std::vector<std::string>(8, "FF"));
    for (const char* expected : {"00", "01", "02", "03"}) {
        ASSERT_TRUE(b.Host.Click(UserIdCellId(8)));
        EXPECT_EQ(b.Host.Text(UserIdCellId(8)), expected);
    }
    EXPECT_EQ(b.Device().UserId[7], 3u);
}

TEST(MainWindowUserId, SumIdFillsTheCellsAndLocksThem) {
    CMainWindowBench b;
    CTestWindowHost& h = b.Host;
    ASSERT_TRUE(h.ChooseMenu(kIdmSumId));
    EXPECT_TRUE(b.Window.m_bSumId);
    EXPECT_TRUE(h.MenuItemChecked(kIdmSumId));
    // The blank default device's checksum 1FCF, its first digit in ID 1.
    EXPECT_EQ(UserIdCells(h), (std::vector<std::string>{"1", "F", "C", "F", "----", "----", "----", "----"}));
    ASSERT_TRUE(h.Click(UserIdCellId(1)));
    EXPECT_EQ(h.Text(UserIdCellId(1)), "1") << "no hand edits with SUM_ID";

    // A loaded file brings its own checksum.
    const std::string path =
        b.WriteHex("a.hex", "PIC16F873A", [](CPicDevice& d) { d.ProgramData[0] = 0x00; });
    ASSERT_TRUE(b.OpenFile(path));
    b.Station().File().UpdateChecksum();
    EXPECT_EQ(b.Device().UserId[3], b.Station().File().Checksum & 0xF);
    EXPECT_NE(h.Text(UserIdCellId(4)), "F");

    ASSERT_TRUE(h.ChooseMenu(kIdmSumId));
    EXPECT_FALSE(h.MenuItemChecked(kIdmSumId));
    EXPECT_EQ(UserIdCells(h), (std::vector<std::string>{"F", "F", "F", "F", "----", "----", "----", "----"}));
    ASSERT_TRUE(h.Click(UserIdCellId(1)));
    EXPECT_EQ(h.Text(UserIdCellId(1)), "0");

    ASSERT_TRUE(b.ChooseDevice("PIC18F452"));
    ASSERT_TRUE(h.ChooseMenu(kIdmSumId));
    b.Device().UpdateChecksum();
    EXPECT_EQ(h.Text(UserIdCellId(1)), [&] {
        char text[4];
        std::snprintf(text, sizeof text, "%02X", b.Device().Checksum & 0xFF);
        return std::string(text);
    }());
    ASSERT_TRUE(h.ChooseMenu(kIdmSumId));
    EXPECT_EQ(UserIdCells(h), std::vector<std::string>(8, "FF"));
}

TEST(MainWindowGrid, BitsErasedAsZeroShowTheirNamesAndValues) {
    // PIC18F4550's CONFIG4L (word 6) names XINST and ICPRT as bits whose
    // erased value is 0; the grid shows their names without the legend's mark.
    CMainWindowBench b("PIC18F4550");
    CTestWindowHost& h = b.Host;
    for (int page = 0; page < 6; ++page) {
        ASSERT_TRUE(h.Click(kIdcNext));
    }
    EXPECT_EQ(h.Text(ConfigCellId(0, 7)), "*DEBUG");
    EXPECT_EQ(h.Text(ConfigCellId(0, 6)), "XINST");
    EXPECT_EQ(h.Text(ConfigCellId(0, 5)), "ICPRT");
    EXPECT_EQ(h.Background(ConfigCellId(0, 6)), ECellBackground::Default) << "erased as 0";
    EXPECT_EQ(h.Text(WordLabelId(0)), "85");
    ASSERT_TRUE(h.Click(ConfigCellId(0, 6)));
    EXPECT_EQ(h.Background(ConfigCellId(0, 6)), ECellBackground::Set);
    EXPECT_EQ(b.Device().Config[6], 0xC5u);
}
