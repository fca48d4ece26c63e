// The settings dialogs, the verify error report and the about box, run
// modally over the test host as the window runs them.
#include "TestHost.h"

#include "device/PicDevice.h"
#include "ui/AboutDlg.h"
#include "ui/DlgCalibration.h"
#include "ui/DlgProtect.h"
#include "ui/DlgVerifyError.h"
#include "ui/ResourceIds.h"
#include "ui/StringTable.h"

#include <gtest/gtest.h>

namespace {

// Stands for the window that opens the dialogs.
class CParent : public CDialogLogic {
public:
    const CDialogLayout& Layout() const override { return *FindDialogLayout(kIddMain); }
};

class DialogTest : public ::testing::Test {
protected:
    DialogTest() { Host.Open(); }

    const CDialogRun& LastRun() const { return Script.Dialogs.back(); }

    CParent Parent;
    CTestScript Script;
    CTestWindowHost Host{Parent, Script};
};

} // namespace

TEST_F(DialogTest, ProtectShowsTheOptionsAndTakesThemBackOnOk) {
    bool disProtect = false;
    bool viewProtect = true; // the first run's options
    Script.QueueDialog(kIddProtect, [](CTestWindowHost& d) {
        EXPECT_FALSE(d.Checked(kIdcDisProtect));
        EXPECT_TRUE(d.Checked(kIdcViewProtect));
        EXPECT_TRUE(d.Click(kIdcDisProtect));
        EXPECT_TRUE(d.Click(kIdcViewProtect));
        d.Click(kIdOk);
    });
    EXPECT_TRUE(CDlgProtect::Edit(Host, disProtect, viewProtect));
    EXPECT_TRUE(disProtect);
    EXPECT_FALSE(viewProtect);
    EXPECT_EQ(LastRun().Result, kIdOk);

    // Back again, now showing the new values; Enter is OK.
    Script.QueueDialog(kIddProtect, [](CTestWindowHost& d) {
        EXPECT_TRUE(d.Checked(kIdcDisProtect));
        EXPECT_FALSE(d.Checked(kIdcViewProtect));
        d.Click(kIdcViewProtect);
        d.PressEnter();
    });
    EXPECT_TRUE(CDlgProtect::Edit(Host, disProtect, viewProtect));
    EXPECT_TRUE(disProtect);
    EXPECT_TRUE(viewProtect);
}

TEST_F(DialogTest, ProtectCancelledInAnyWayKeepsTheOptions) {
    for (int way = 0; way < 3; ++way) {
        bool disProtect = false;
        bool viewProtect = true;
        Script.QueueDialog(kIddProtect, [way](CTestWindowHost& d) {
            d.Click(kIdcDisProtect);
            d.Click(kIdcViewProtect);
            if (way == 0) {
                d.Click(kIdCancel);
            } else if (way == 1) {
                d.PressEscape();
            } else {
                d.CloseBox();
            }
        });
        EXPECT_FALSE(CDlgProtect::Edit(Host, disProtect, viewProtect)) << way;
        EXPECT_FALSE(disProtect) << way;
        EXPECT_TRUE(viewProtect) << way;
        EXPECT_EQ(LastRun().Result, kIdCancel) << way;
    }
}

TEST_F(DialogTest, ProtectMembersFollowTheBoxes) {
    CDlgProtect dialog;
    dialog.m_bViewProtect = true;
    CTestWindowHost d(dialog, Script);
    d.Open();
    d.Click(kIdcViewProtect);
    EXPECT_FALSE(dialog.m_bViewProtect);
    EXPECT_FALSE(dialog.m_bDisProtect);
    d.Click(kIdcDisProtect);
    d.Click(kIdcDisProtect);
    d.Click(kIdcDisProtect);
    EXPECT_TRUE(dialog.m_bDisProtect);
    EXPECT_FALSE(d.Ended());
}

TEST_F(DialogTest, CalibrationOkTakesTheBoxCancelDoesNot) {
    bool rewrite = false;
    Script.QueueDialog(kIddCalibration, [](CTestWindowHost& d) {
        EXPECT_FALSE(d.Checked(kIdcRewriteCalibration));
        d.Click(kIdcRewriteCalibration);
        d.Click(kIdCancel);
    });
    EXPECT_FALSE(CDlgCalibration::Edit(Host, rewrite));
    EXPECT_FALSE(rewrite);

    Script.QueueDialog(kIddCalibration, [](CTestWindowHost& d) {
        d.Click(kIdcRewriteCalibration);
        d.Click(kIdOk);
    });
    EXPECT_TRUE(CDlgCalibration::Edit(Host, rewrite));
    EXPECT_TRUE(rewrite);

    // Opened again it shows the box ticked; unticking and OK turns it off.
    Script.QueueDialog(kIddCalibration, [](CTestWindowHost& d) {
        EXPECT_TRUE(d.Checked(kIdcRewriteCalibration));
        d.Click(kIdcRewriteCalibration);
        d.Click(kIdOk);
    });
    EXPECT_TRUE(CDlgCalibration::Edit(Host, rewrite));
    EXPECT_FALSE(rewrite);
}

TEST_F(DialogTest, VerifyErrorMarksEveryDifferingArea) {
    struct CCase {
        int32_t Flags;
        const char* Program;
        const char* Eeprom;
        const char* Config;
        const char* UserId;
    };
    const CCase cases[] = {
        {kVerifyEeprom, "OK", "NG", "OK", "OK"},
        {kVerifyProgram | kVerifyUserId, "NG", "OK", "OK", "NG"},
        {kVerifyConfig, "OK", "OK", "NG", "OK"},
        {kVerifyProgram | kVerifyEeprom | kVerifyConfig | kVerifyUserId, "NG", "NG", "NG", "NG"},
    };
    for (const CCase& c : cases) {
        CDlgVerifyError::Show(Host, c.Flags);
        ASSERT_EQ(LastRun().DialogId, kIddVerifyError);
        const auto& texts = LastRun().Texts;
        EXPECT_EQ(texts.at(kIdcVerifyProgram), c.Program) << c.Flags;
        EXPECT_EQ(texts.at(kIdcVerifyEeprom), c.Eeprom) << c.Flags;
        EXPECT_EQ(texts.at(kIdcVerifyConfig), c.Config) << c.Flags;
        EXPECT_EQ(texts.at(kIdcVerifyUserId), c.UserId) << c.Flags;
        EXPECT_EQ(texts.at(kIdcVerifyReason), "") << c.Flags;
    }
}

// Image and read-back of different device types: nothing was compared, and
// four OKs would report a failed verify as a success.
TEST_F(DialogTest, VerifyErrorOfDifferentDevicesIsNgEverywhereAndSaysWhy) {
    for (int32_t flags : {int32_t{kVerifyDifferentDevice}, int32_t{kVerifyDifferentDevice | kVerifyEeprom}}) {
        Script.QueueDialog(kIddVerifyError, [](CTestWindowHost& d) { d.Click(kIdOk); });
        CDlgVerifyError::Show(Host, flags);
        const auto& texts = LastRun().Texts;
        for (int id : {kIdcVerifyProgram, kIdcVerifyEeprom, kIdcVerifyConfig, kIdcVerifyUserId}) {
            EXPECT_EQ(texts.at(id), "NG") << flags << " line " << id;
        }
        EXPECT_EQ(texts.at(kIdcVerifyReason), kMsgVerifyDifferentDevice);
        EXPECT_EQ(LastRun().Result, kIdOk);
    }
}

TEST_F(DialogTest, AboutBoxClosesWithOk) {
    Script.QueueDialog(kIddAbout, [](CTestWindowHost& d) { d.PressEnter(); });
    CAboutDlg about;
    EXPECT_EQ(Host.RunModalDialog(about), kIdOk);
    EXPECT_FALSE(about.Attached()) << "the dialog is let go when it has closed";
}
