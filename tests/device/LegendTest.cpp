#include "device/DeviceList.h"
#include "device/PicDevice.h"

#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr const char* kDefaultLegend =
    "[CP][-][DEBUG][WRT1][WRT0][CPD][LVD][BOREN][-][-][*PWRTEN][WDTEN][FOSC1][FOSC0]";

std::unique_ptr<CPicDevice> Parsed(const std::string& legend, int core) {
    auto d = std::make_unique<CPicDevice>();
    d->ConfigLegend = legend;
    d->CoreWidth = core;
    d->ParseLegend();
    return d;
}

TEST(Legend, DefaultLegendGivesTheDocumentedMasks) {
    CPicDevice d;
    d.ConfigLegend = kDefaultLegend;
    d.CoreWidth = 14;
    d.CalFlag = 7;
    d.ParseLegend();
    EXPECT_EQ(d.ConfigCount, 1);
    EXPECT_EQ(d.Config[0], 0x3FFFU);
    EXPECT_EQ(d.ConfigZeroMask[0], 0U);
    EXPECT_EQ(d.ConfigOneMask[0], 0x1030U);
    EXPECT_EQ(d.ConfigNamedMask[0], 0x2FCFU);
    EXPECT_EQ(d.ConfigUserMask[0], 0x2FCFU);
    EXPECT_EQ(d.ConfigProtectMask[0], 0x2100U);
    EXPECT_EQ(d.ConfigCalMask[0], 0U);
    EXPECT_EQ(d.CalFlag, 7) << "no calibration bits: CalFlag untouched";
    for (int w = 1; w < kConfigWords; ++w) {
        EXPECT_EQ(d.Config[w] | d.ConfigOneMask[w] | d.ConfigNamedMask[w] | d.ConfigProtectMask[w], 0U) << w;
    }
}

TEST(Legend, EmptyShortAndTrailingText) {
    auto empty = Parsed("", 14);
    EXPECT_EQ(empty->ConfigCount, 0);
    EXPECT_EQ(empty->Config[0], 0U);

    // Fewer tokens than bits: the high bits get them, the low bits none.
    auto shortLegend = Parsed("[A][B][-]", 14);
    EXPECT_EQ(shortLegend->ConfigCount, 1);
    EXPECT_EQ(shortLegend->Config[0], 0x3800U);
    EXPECT_EQ(shortLegend->ConfigNamedMask[0], 0x3000U);
    EXPECT_EQ(shortLegend->ConfigOneMask[0], 0x0800U);

    // Text without a further "]" is never consumed: every later word counts.
    auto trailing = Parsed(std::string(kDefaultLegend) + " ", 14);
    EXPECT_EQ(trailing->ConfigCount, 16);
    EXPECT_EQ(trailing->Config[0], 0x3FFFU);
    EXPECT_EQ(trailing->Config[1], 0U);

    auto noCore = Parsed(kDefaultLegend, 0);
    EXPECT_EQ(noCore->ConfigCount, 16);
    EXPECT_EQ(noCore->Config[0], 0U);
    auto negativeCore = Parsed(kDefaultLegend, -3);
    EXPECT_EQ(negativeCore->ConfigCount, 16);
}

TEST(Legend, SpecialTokensAreExactTexts) {
    // "[X]" and "[ - ]" are names; "[x]" and "[-]" are the special tokens.
    auto special = Parsed("[X][ - ][x][-]", 4);
    EXPECT_EQ(special->ConfigNamedMask[0], 0xCU);
    EXPECT_EQ(special->ConfigZeroMask[0], 0x2U);
    EXPECT_EQ(special->ConfigOneMask[0], 0x1U);
    EXPECT_EQ(special->Config[0], 0xDU);
}

TEST(Legend, CalibrationAndProtectTokens) {
    CPicDevice d;
    d.ConfigLegend = "[cBG1][cBG0][x][x][x][CPD][CP][BODEN][MCLRE][*PWRTE][WDTE][FOSC2][FOSC1][FOSC0]";
    d.CoreWidth = 14;
    d.ParseLegend();
    EXPECT_EQ(d.CalFlag, 1);
    EXPECT_EQ(d.ConfigCalMask[0], 0x3000U);
    EXPECT_EQ(d.ConfigNamedMask[0], 0x31FFU);
    EXPECT_EQ(d.ConfigUserMask[0], 0x01FFU) << "calibration bits are not user bits";
    EXPECT_EQ(d.ConfigProtectMask[0], 0x0180U);
    EXPECT_EQ(d.Config[0], 0x31FFU);

    // A token that does not begin with "[" still takes a bit; its second
    // character decides the calibration rule. "[pX]" is a plain name.
    auto odd = Parsed("xc][pX][*CP][*CPD][CPF][CPG]", 6);
    EXPECT_EQ(odd->ConfigCalMask[0], 0x20U);
    EXPECT_EQ(odd->ConfigNamedMask[0], 0x3FU);
    EXPECT_EQ(odd->ConfigUserMask[0], 0x1FU);
    EXPECT_EQ(odd->ConfigProtectMask[0], 0x0EU);
    EXPECT_TRUE(IsProtectToken("[CPA]"));
    EXPECT_FALSE(IsProtectToken("[cp]"));
}

TEST(Legend, Pic18WordsAreBytesAndAbsurdCoreWidthsAreSafe) {
    std::string legend;
    for (int k = 0; k < 14; ++k) {
        legend += k == 8 ? "[x][x][x][x][CP3][CP2][CP1][CP0]" : "[A][B][C][D][E][F][G][H]";
    }
    auto p18 = Parsed(legend, 8);
    EXPECT_EQ(p18->ConfigCount, 14);
    EXPECT_EQ(p18->Config[0], 0xFFU);
    EXPECT_EQ(p18->ConfigProtectMask[8], 0x0FU);
    EXPECT_EQ(p18->Config[8], 0x0FU);
    EXPECT_EQ(p18->Config[14], 0U);

    // A core width beyond the 32 bits a word holds is read as 32: each word
    // takes 32 tokens, and the width never drives the loops any further.
    auto wide = Parsed(legend, 40);
    EXPECT_EQ(wide->ConfigCount, 4);
    EXPECT_EQ(wide->Config[0], 0xFFFFFFFFU);
    auto huge = Parsed(legend, 2147483647);
    EXPECT_EQ(huge->ConfigCount, 4);
    EXPECT_EQ(huge->ConfigNamedMask[0], 0xFFFFFFFFU);
}

TEST(Legend, ANameMarkedZIsANamedBitErasedToZero) {
    // Bits 7..0: z-marked user bit, z-marked protect-looking name, plain
    // name, "[-]", "[x]", a calibration bit, a Z that is not the marker, and
    // a one-letter "[z]".
    auto d = Parsed("[zXINST][zCP][LVP][-][x][cBG][ZED][z]", 8);
    EXPECT_EQ(d->Config[0], 0x36U) << "only the marked names default to 0";
    EXPECT_EQ(d->ConfigNamedMask[0], 0xE7U);
    EXPECT_EQ(d->ConfigUserMask[0], 0xE3U) << "a marked name is a user bit";
    EXPECT_EQ(d->ConfigZeroMask[0], 0x08U) << "and is not forced to 0 after a load";
    EXPECT_EQ(d->ConfigOneMask[0], 0x10U);
    EXPECT_EQ(d->ConfigProtectMask[0], 0x00U) << "[zCP] is not one of the code-protect tokens";
    EXPECT_EQ(d->ConfigCalMask[0], 0x04U);

    EXPECT_EQ(LegendLabel("zXINST"), "XINST");
    EXPECT_EQ(LegendLabel("cBG1"), "BG1");
    EXPECT_EQ(LegendLabel("pWDTE"), "WDTE");
    EXPECT_EQ(LegendLabel("ZED"), "ZED");
    EXPECT_EQ(LegendLabel(""), "");
}

TEST(Legend, NextLegendTokenWalksAndRestarts) {
    CDeviceList d;
    EXPECT_EQ(d.NextLegendToken(0), "CP");
    EXPECT_EQ(d.NextLegendToken(1), "-");
    EXPECT_EQ(d.NextLegendToken(2), "DEBUG");
    for (int i = 3; i < 14; ++i) {
        d.NextLegendToken(i);
    }
    EXPECT_EQ(d.NextLegendToken(14), "") << "past the end every token is empty";
    EXPECT_EQ(d.NextLegendToken(0), "CP") << "index 0 restarts";

    d.ConfigLegend = "][x][cOSC]tail";
    EXPECT_EQ(d.NextLegendToken(0), "");
    EXPECT_EQ(d.NextLegendToken(1), "x");
    EXPECT_EQ(d.NextLegendToken(2), "cOSC");
    EXPECT_EQ(d.NextLegendToken(3), "");
    EXPECT_EQ(d.LegendCursor, "tail");
}

} // namespace
