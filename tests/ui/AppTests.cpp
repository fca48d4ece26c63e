// The application object: the settings loaded into the window before it
// opens and saved after it closes however it closes, deleted when asked, and
// the simulated program's chips kept between runs.
#include "MainWindowBench.h"

#include "app/KVX3App.h"
#include "platform/Platform.h"
#include "settings/AppOptions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

// The toolkit's part, played by the test host: the window opens, the user
// does what the test says, and the window is closed with its close box
// unless the user closed it.
class CScriptedRunner : public IMainWindowRunner {
public:
    using User = std::function<void(CTestWindowHost&, CKVX3Dlg&)>;
    CScriptedRunner(User user, CTestScript& script) : m_user(std::move(user)), m_script(script) {}

    void InitCommonControls() override { Events.push_back("init"); }
    int RunModal(CKVX3Dlg& window) override {
        Events.push_back("run");
        CTestWindowHost host(window, m_script);
        host.Open();
        m_user(host, window);
        (void)TickUntilIdle(host, window.Station().Runner());
        if (!host.Ended()) {
            host.CloseBox();
        }
        return host.Result();
    }

    std::vector<std::string> Events;

private:
    User m_user;
    CTestScript& m_script;
};

struct CAppBench {
    CAppSetup Setup(EAppBackend backend = EAppBackend::Simulated) const {
        CAppSetup setup;
        setup.Backend = backend;
        setup.SimChipFolder = Dir.File("chips");
        setup.SafetyFolder = Dir.File("safety");
        setup.DeviceListPath = ShippedCatalogue();
        return setup;
    }
    bool Run(const CScriptedRunner::User& user, EAppBackend backend = EAppBackend::Simulated) {
        CScriptedRunner runner(user, Script);
        CKVX3App app(Store, "KVX3", Setup(backend));
        const bool loop = app.InitInstance(runner);
        EXPECT_EQ(app.MainWindow(), nullptr) << "the window is gone when start-up returns";
        EXPECT_EQ(runner.Events, (std::vector<std::string>{"init", "run"}));
        return loop;
    }
    std::string Read(const std::string& key, const std::string& name) {
        std::string value;
        return Store.ReadString("Software\\Quorvane\\KVX3\\" + key, name, value) ? value : "<none>";
    }
    int ReadInt(const std::string& name) {
        uint32_t value = 0;
        return Store.ReadDword("Software\\Quorvane\\KVX3\\Settings\\Bit", name, value)
                   ? static_cast<int>(value)
                   : -1;
    }
    CTempDir Dir;
    CMemoryStore Store;
    CTestScript Script;
};

} // namespace

TEST(App, LoadsBeforeTheWindowAndSavesAfterItWhateverTheWay) {
    CAppBench b;
    b.Store.WriteString("Software\\Quorvane\\KVX3\\Settings\\Device", "PIC", "PIC18F452");
    b.Store.WriteDword("Software\\Quorvane\\KVX3\\Settings\\Bit", "SumId", 5);
    b.Store.WriteDword("Software\\Quorvane\\KVX3\\Settings\\Bit", "UserIdNo", 9);

    const bool loop = b.Run([&b](CTestWindowHost& h, CKVX3Dlg& w) {
        // Loaded before the window opened: the stored type is selected and
        // the stored option ticked; nothing has been written yet.
        EXPECT_EQ(w.m_strDevice, "PIC18F452");
        EXPECT_EQ(h.ComboText(kIdcDevice, h.ComboSelection(kIdcDevice)), "PIC18F452");
        EXPECT_TRUE(h.MenuItemChecked(kIdmSumId));
        EXPECT_EQ(b.ReadInt("DevId"), -1);
        h.ChooseMenu(kIdmCompleteMessage);
        ASSERT_TRUE(h.ChooseComboItem(kIdcDevice, 2)); // PIC16F874A
        h.Click(kIdOk);
    });
    EXPECT_FALSE(loop) << "no message loop follows";
    EXPECT_EQ(b.Read("Settings\\Device", "PIC"), "PIC16F874A");
    EXPECT_EQ(b.ReadInt("Complate"), 1);
    EXPECT_EQ(b.ReadInt("SumId"), 1) << "written back as 1";
    EXPECT_EQ(b.ReadInt("DevId"), 1);
    EXPECT_EQ(b.ReadInt("ViewProtect"), 1);
    EXPECT_EQ(b.ReadInt("HexCheck"), 0);
    EXPECT_EQ(b.ReadInt("UserIdNo"), 9) << "left alone while UserId is 0";

    // Closed with the close box, and with the exit command: saved alike.
    b.Run([](CTestWindowHost& h, CKVX3Dlg&) { h.ChooseMenu(kIdmHexCheck); });
    EXPECT_EQ(b.ReadInt("HexCheck"), 1);
    b.Run([](CTestWindowHost& h, CKVX3Dlg&) {
        h.ChooseMenu(kIdmHexCheck);
        h.ChooseMenu(kIdmExit);
        EXPECT_TRUE(h.Ended());
    });
    EXPECT_EQ(b.ReadInt("HexCheck"), 0);
    EXPECT_EQ(b.Read("Settings\\Device", "PIC"), "PIC16F874A");
}

TEST(App, LeavingBlankAreasAloneIsOffUntilChosenAndRemembered) {
    CAppBench b;
    b.Run([](CTestWindowHost& h, CKVX3Dlg& w) {
        EXPECT_FALSE(w.m_bSkipBlank) << "the full write until the user chooses";
        EXPECT_FALSE(w.Options().m_bSkipBlank);
        EXPECT_FALSE(h.MenuItemChecked(kIdmSkipBlank));
        ASSERT_TRUE(h.ChooseMenu(kIdmSkipBlank));
        EXPECT_TRUE(h.MenuItemChecked(kIdmSkipBlank));
    });
    EXPECT_EQ(b.ReadInt("SkipBlank"), 1);
    b.Run([](CTestWindowHost& h, CKVX3Dlg& w) {
        EXPECT_TRUE(h.MenuItemChecked(kIdmSkipBlank)) << "loaded before the window opened";
        EXPECT_TRUE(w.Options().m_bSkipBlank) << "and handed to Program";
        ASSERT_TRUE(h.ChooseMenu(kIdmSkipBlank));
        EXPECT_FALSE(h.MenuItemChecked(kIdmSkipBlank));
    });
    EXPECT_EQ(b.ReadInt("SkipBlank"), 0);
}

TEST(App, DeletesTheSettingsWhenAskedAndOnlyThen) {
    CAppBench b;
    b.Store.WriteString("Software\\Quorvane\\KVX\\Settings\\Device", "PIC", "old");
    b.Run([](CTestWindowHost& h, CKVX3Dlg&) {
        h.ChooseMenu(kIdmDeleteRegistry);
        h.ChooseMenu(kIdmDeleteRegistry);
    });
    EXPECT_TRUE(b.Store.KeyExists("Software\\Quorvane\\KVX3"));
    EXPECT_TRUE(b.Store.KeyExists("Software\\Quorvane\\KVX"));

    b.Run([](CTestWindowHost& h, CKVX3Dlg&) {
        h.ChooseMenu(kIdmDeleteRegistry);
        EXPECT_TRUE(h.MenuItemChecked(kIdmDeleteRegistry));
    });
    EXPECT_FALSE(b.Store.KeyExists("Software\\Quorvane\\KVX3"));
    EXPECT_FALSE(b.Store.KeyExists("Software\\Quorvane\\KVX"));
    EXPECT_FALSE(b.Store.KeyExists("Software\\Quorvane")) << "no application key is left below it";
}

TEST(App, SimulatedChipsOutliveTheRunAndFollowTheSelection) {
    CAppBench b;
    const std::string image = b.Dir.File("a.hex");
    {
        CDeviceList d;
        d.ListPath = ShippedCatalogue();
        ASSERT_TRUE(d.LoadDevice("PIC16F877A"));
        CHexFile hex;
        hex.AssignFrom(d);
        hex.ProgramData[0] = 0x05;
        hex.ProgramData[1] = 0x28;
        hex.EepromData[9] = 0x99;
        ASSERT_TRUE(hex.SaveHex(image));
    }
    // First run: program a PIC16F877A, then pick another type.
    b.Run([&](CTestWindowHost& h, CKVX3Dlg& w) {
        for (int i = 0; i < 5; ++i) {
            h.FireTimers();
        }
        ASSERT_TRUE(w.Station().Runner().Connected());
        ASSERT_TRUE(h.ChooseComboItem(kIdcDevice, 4)); // PIC16F877A
        ASSERT_EQ(w.m_strDevice, "PIC16F877A");
        b.Script.QueueFileAnswer(image);
        ASSERT_TRUE(h.Click(kIdcFileOpen));
        ASSERT_TRUE(h.Click(kIdcProgram));
        ASSERT_TRUE(TickUntilIdle(h, w.Station().Runner()));
        ASSERT_TRUE(b.Script.Dialogs.empty())
            << "programmed without a verify error: " << b.Script.Dialogs[0].Texts[kIdcVerifyProgram]
            << b.Script.Dialogs[0].Texts[kIdcVerifyEeprom] << b.Script.Dialogs[0].Texts[kIdcVerifyConfig]
            << b.Script.Dialogs[0].Texts[kIdcVerifyUserId];
    });
    EXPECT_TRUE(std::filesystem::exists(b.Dir.File("chips/PIC16F877A.chip")));

    // Second run: the stored type comes back with its chip, which verifies.
    b.Run([&](CTestWindowHost& h, CKVX3Dlg& w) {
        EXPECT_EQ(w.m_strDevice, "PIC16F877A");
        for (int i = 0; i < 5; ++i) {
            h.FireTimers();
        }
        b.Script.QueueFileAnswer(image);
        ASSERT_TRUE(h.Click(kIdcFileOpen));
        ASSERT_TRUE(h.Click(kIdcVerify));
        ASSERT_TRUE(TickUntilIdle(h, w.Station().Runner()));
        EXPECT_TRUE(b.Script.Dialogs.empty()) << "the same chip as before";
        // A blank image against it differs.
        ASSERT_TRUE(h.ChooseComboItem(kIdcDevice, 1)); // PIC16F873A
        ASSERT_TRUE(h.ChooseComboItem(kIdcDevice, 4)); // PIC16F877A, blank image
        ASSERT_TRUE(h.Click(kIdcVerify));
        ASSERT_TRUE(TickUntilIdle(h, w.Station().Runner()));
        ASSERT_EQ(b.Script.Dialogs.size(), 1u);
        EXPECT_EQ(b.Script.Dialogs[0].Texts[kIdcVerifyProgram], "NG");
        EXPECT_EQ(b.Script.Dialogs[0].Texts[kIdcVerifyEeprom], "NG");
    });
}

#ifndef _WIN32
// Windows keeps the data below LOCALAPPDATA instead.
TEST(App, DataFolderFollowsXdg) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string keep = saved != nullptr ? saved : "";
    setenv("XDG_DATA_HOME", "/tmp/kvx3-data", 1);
    EXPECT_EQ(DefaultSimChipFolder(), "/tmp/kvx3-data/kvx3/sim-chips");
    setenv("XDG_DATA_HOME", "relative", 1);
    EXPECT_EQ(DefaultDataBase(), HomeFolder() + "/.local/share") << "a relative path is ignored";
    if (saved != nullptr) {
        setenv("XDG_DATA_HOME", keep.c_str(), 1);
    } else {
        unsetenv("XDG_DATA_HOME");
    }
}
#endif
