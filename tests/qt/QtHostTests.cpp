// The Qt window host as the dialog logic meets it: clicks, checks and radio
// groups, the drop list, the progress bar, cells and their colours, the keys
// of a dialog, the timer, the wait cursor, the menu bar by position, the
// stand-in system menu, message boxes, child dialogs and the file dialogs.
#include "QtTestSupport.h"

#include "ui/LayoutTables.h"
#include "ui/qt/QtFileDialog.h"
#include "ui/qt/QtWindowHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

namespace {

// A dialog logic that notes what reaches it and does what the test says.
class CRecordingLogic : public CDialogLogic {
public:
    explicit CRecordingLogic(const CDialogLayout& layout) : m_layout(layout) {}
    const CDialogLayout& Layout() const override { return m_layout; }

    bool OnInitDialog() override {
        Events.push_back("init");
        if (Init) {
            Init(Host());
        }
        return true;
    }
    void OnCommand(int id) override {
        Events.push_back("command " + std::to_string(id));
        if (Command) {
            Command(Host(), id);
        } else {
            CDialogLogic::OnCommand(id);
        }
    }
    void OnSelChange(int id) override { Events.push_back("select " + std::to_string(id)); }
    void OnTimer(int id) override {
        ++Ticks;
        if (Timer) {
            Timer(Host(), id);
        }
    }
    void OnSysCommand(int id) override { Events.push_back("syscommand " + std::to_string(id)); }
    void OnCancel() override {
        Events.push_back("cancel");
        if (!RefuseCancel) {
            CDialogLogic::OnCancel();
        }
    }
    ECellBackground ControlBackground(int id) const override {
        auto it = Backgrounds.find(id);
        return it == Backgrounds.end() ? ECellBackground::Default : it->second;
    }
    IWindowHost& HostOf() { return Host(); }

    std::vector<std::string> Events;
    int Ticks = 0;
    bool RefuseCancel = false;
    std::map<int, ECellBackground> Backgrounds;
    std::function<void(IWindowHost&)> Init;
    std::function<void(IWindowHost&, int)> Command;
    std::function<void(IWindowHost&, int)> Timer;

private:
    const CDialogLayout& m_layout;
};

const CDialogLayout& MainLayout() {
    return *FindDialogLayout(kIddMain);
}

template <class T> T* Widget(CQtWindowHost& host, int id) {
    return qobject_cast<T*>(host.ControlWidget(id));
}

} // namespace

class CQtHostTests : public QObject {
    Q_OBJECT

private slots:
    void cleanup();
    void ClicksReachTheLogicOnlyFromEnabledControls();
    void RadioGroupsAndChecksBehaveAsAutomaticButtons();
    void DropListSelectsNothingUntilAskedAndReportsChoices();
    void ProgressBarShowsOutOfRangePositionsAtTheNearerEnd();
    void CellsReportClicksAndTakeTheirColourFromTheLogic();
    void EnterEscapeAndTheCloseBox();
    void TimerTicksUntilTheDialogEnds();
    void WaitCursorNests();
    void MenuBarByPosition();
    void SystemMenuStandsInTheContextMenu();
    void MessageBoxesHaveTheirIconAndButtons();
    void MessageBoxRunsModallyWithoutASeam();
    void ChildDialogRunsModallyWhileTheTimerGoesOn();
    void FileDialogsTakeTheRequest();
    void UnknownControlsAreRefusedQuietly();
};

void CQtHostTests::cleanup() {
    CQtWindowHost::SetMessageBoxSeam({});
    CQtWindowHost::SetFileDialogSeam({});
}

void CQtHostTests::ClicksReachTheLogicOnlyFromEnabledControls() {
    CRecordingLogic logic(MainLayout());
    logic.Command = [](IWindowHost&, int) {};
    CQtWindowHost host(logic);
    host.AttachLogic();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QCOMPARE(logic.Events, std::vector<std::string>{"init"});
    QVERIFY(Widget<QComboBox>(host, kIdcDevice)->hasFocus()); // the first tab stop has the focus

    QTest::mouseClick(Widget<QPushButton>(host, kIdcProgram), Qt::LeftButton);
    QCOMPARE(logic.Events.back(), "command 1033");
    host.EnableItem(kIdcProgram, false);
    QTest::mouseClick(Widget<QPushButton>(host, kIdcProgram), Qt::LeftButton);
    QCOMPARE(logic.Events.size(), size_t{2});
    // The template's disabled controls.
    QVERIFY(!host.ControlWidget(kIdcPrev)->isEnabled());
    QVERIFY(!host.ControlWidget(ConfigCellId(1, 0))->isEnabled());

    // Texts the logic sets come back as they were set; a static shows its
    // mnemonic marks unless it shows '&' as itself.
    host.SetItemText(kIdcStatus, "R&D");
    QCOMPARE(host.GetItemText(kIdcStatus), "R&D");
    QCOMPARE(Widget<QLabel>(host, kIdcStatus)->text(), QStringLiteral("R&D"));
    host.SetItemText(kIdcDeviceIdText, "A&B");
    QCOMPARE(Widget<QLabel>(host, kIdcDeviceIdText)->text(), QStringLiteral("AB"));
    host.SetItemText(kIdcProgramDump, "00000 : 3FFF\r\n00008 : 3FFF\r\n");
    QCOMPARE(host.GetItemText(kIdcProgramDump), "00000 : 3FFF\r\n00008 : 3FFF\r\n");
    QCOMPARE(ShownText(host.ControlWidget(kIdcProgramDump)), QStringLiteral("00000 : 3FFF\n00008 : 3FFF\n"));
    host.SetItemText(kIdcProgramGroup, "Program Memorys = 8192 word");
    QCOMPARE(ShownText(host.ControlWidget(kIdcProgramGroup)), QStringLiteral("Program Memorys = 8192 word"));
    host.Detach();
}

void CQtHostTests::RadioGroupsAndChecksBehaveAsAutomaticButtons() {
    CRecordingLogic logic(*FindDialogLayout(kIddFunctionTest));
    std::vector<bool> checkedWhenHeard;
    logic.Command = [&checkedWhenHeard](IWindowHost& host, int id) {
        if (id != kIdOk) {
            checkedWhenHeard.push_back(host.GetCheck(id));
        }
    };
    logic.Init = [](IWindowHost& host) {
        host.SetCheck(kIdcMclrNormal, true);
        host.SetCheck(kIdcPowerLedOff, true);
    };
    CQtWindowHost host(logic);
    host.AttachLogic();
    QCOMPARE(logic.Events, std::vector<std::string>{"init"}); // setting checks notifies nothing
    QVERIFY(host.GetCheck(kIdcMclrNormal));

    // A click checks the button and clears its group, and only its group,
    // before the logic hears of it.
    QTest::mouseClick(Widget<QRadioButton>(host, kIdcMclrVpp), Qt::LeftButton);
    QCOMPARE(logic.Events.back(), "command 1004");
    QCOMPARE(checkedWhenHeard, std::vector<bool>{true});
    QVERIFY(host.GetCheck(kIdcMclrVpp));
    QVERIFY(!host.GetCheck(kIdcMclrNormal));
    QVERIFY(host.GetCheck(kIdcPowerLedOff)); // another group keeps its button
    QTest::mouseClick(Widget<QRadioButton>(host, kIdcMclrVpp), Qt::LeftButton);
    QVERIFY(host.GetCheck(kIdcMclrVpp)); // a checked radio button stays checked

    // The logic may clear every button of a group.
    host.SetCheck(kIdcMclrVpp, false);
    for (int id : {int{kIdcMclrVpp}, int{kIdcMclrReset}, int{kIdcMclrNormal}}) {
        QVERIFY(!host.GetCheck(id));
    }
    host.Detach();

    // A check box toggles itself before the logic hears of the click.
    CRecordingLogic protect(*FindDialogLayout(kIddProtect));
    bool heard = false;
    protect.Command = [&heard](IWindowHost& h, int id) {
        if (id == kIdcDisProtect) {
            heard = h.GetCheck(kIdcDisProtect);
        }
    };
    CQtWindowHost protectHost(protect);
    protectHost.AttachLogic();
    QTest::mouseClick(Widget<QCheckBox>(protectHost, kIdcDisProtect), Qt::LeftButton);
    QVERIFY(heard);
    protectHost.SetCheck(kIdcDisProtect, false);
    QVERIFY(!protectHost.GetCheck(kIdcDisProtect));
    protectHost.Detach();
}

void CQtHostTests::DropListSelectsNothingUntilAskedAndReportsChoices() {
    CRecordingLogic logic(MainLayout());
    CQtWindowHost host(logic);
    host.AttachLogic();
    host.ComboAdd(kIdcDevice, "PIC16F84A");
    host.ComboAdd(kIdcDevice, "PIC18F452");
    QCOMPARE(host.ComboCount(kIdcDevice), 2);
    QCOMPARE(host.ComboSelection(kIdcDevice), -1);
    QCOMPARE(host.ComboText(kIdcDevice, 1), "PIC18F452");
    QCOMPARE(host.ComboText(kIdcDevice, 2), "");
    host.ComboSelect(kIdcDevice, 1);
    QCOMPARE(host.ComboSelection(kIdcDevice), 1);
    QCOMPARE(host.GetItemText(kIdcDevice), "PIC18F452");
    host.ComboSelect(kIdcDevice, 7);
    QCOMPARE(host.ComboSelection(kIdcDevice), -1);
    QCOMPARE(logic.Events, std::vector<std::string>{"init"}); // the logic's own selections notify nothing

    auto* combo = Widget<QComboBox>(host, kIdcDevice);
    combo->setCurrentIndex(0);
    emit combo->activated(0);
    QCOMPARE(logic.Events.back(), "select 1038");
    QVERIFY(combo->maxVisibleItems() > 10);
    host.ComboReset(kIdcDevice);
    QCOMPARE(host.ComboCount(kIdcDevice), 0);
    QCOMPARE(host.ComboSelection(kIdcDevice), -1);
    host.Detach();
}

void CQtHostTests::ProgressBarShowsOutOfRangePositionsAtTheNearerEnd() {
    CRecordingLogic logic(MainLayout());
    CQtWindowHost host(logic);
    host.AttachLogic();
    auto* bar = Widget<QProgressBar>(host, kIdcProgress);
    QVERIFY(!bar->isTextVisible());
    host.SetProgressRange(kIdcProgress, 0, 100);
    host.SetProgressPos(kIdcProgress, 40);
    QCOMPARE(bar->value(), 40);
    host.SetProgressPos(kIdcProgress, 250);
    QCOMPARE(bar->value(), 100);
    host.SetProgressPos(kIdcProgress, -5);
    QCOMPARE(bar->value(), 0);
    host.SetProgressPos(kIdcProgress, 90);
    host.SetProgressRange(kIdcProgress, 0, 50);
    QCOMPARE(bar->value(), 50); // a narrower range takes the position along
    host.Detach();
}

void CQtHostTests::CellsReportClicksAndTakeTheirColourFromTheLogic() {
    CRecordingLogic logic(MainLayout());
    const int set = ConfigCellId(0, 3);
    const int protect = ConfigCellId(0, 4);
    logic.Backgrounds[set] = ECellBackground::Set;
    CQtWindowHost host(logic);
    host.AttachLogic();
    QWidget* cell = host.ControlWidget(set);
    QVERIFY(cell->autoFillBackground());
    QCOMPARE(cell->palette().color(QPalette::Window), QColor(200, 255, 200));
    QVERIFY(!host.ControlWidget(protect)->autoFillBackground());

    logic.Command = [&logic, protect](IWindowHost& h, int id) {
        if (id == protect) {
            logic.Backgrounds[protect] = ECellBackground::Protected;
            h.RepaintItem(protect);
        }
    };
    QTest::mouseClick(host.ControlWidget(protect), Qt::LeftButton);
    QCOMPARE(logic.Events.back(), "command " + std::to_string(protect));
    QCOMPARE(host.ControlWidget(protect)->palette().color(QPalette::Window), QColor(255, 200, 200));
    // Disabled, a cell keeps its colour and takes no clicks.
    host.EnableItem(protect, false);
    QCOMPARE(host.ControlWidget(protect)->palette().color(QPalette::Disabled, QPalette::Window),
             QColor(255, 200, 200));
    const size_t events = logic.Events.size();
    QTest::mouseClick(host.ControlWidget(protect), Qt::LeftButton);
    QCOMPARE(logic.Events.size(), events);

    // Back to the window's own background when the logic says so; a text
    // set anew asks again.
    logic.Backgrounds.erase(set);
    host.SetItemText(set, "WDTEN");
    QVERIFY(!cell->autoFillBackground());
    QCOMPARE(cell->palette().color(QPalette::Window), host.palette().color(QPalette::Window));

    // On a dark theme the cell's text turns dark to be read on the pale colour.
    QPalette dark = host.palette();
    dark.setColor(QPalette::WindowText, Qt::white);
    host.setPalette(dark);
    host.RepaintItem(protect);
    QCOMPARE(host.ControlWidget(protect)->palette().color(QPalette::Active, QPalette::WindowText),
             QColor(Qt::black));
    QCOMPARE(host.ControlWidget(protect)->palette().color(QPalette::Window), QColor(255, 200, 200));

    // A name too long for its cell is drawn narrower, not cut.
    host.SetItemText(set, "*PWRTEN");
    QString why;
    QVERIFY2(TextFitsWidget(cell, why), qPrintable(why));
    QVERIFY(cell->font().stretch() < 100);
    host.SetItemText(set, "CP");
    QVERIFY(cell->font().stretch() == 0 || cell->font().stretch() == 100);
    host.Detach();
}

void CQtHostTests::EnterEscapeAndTheCloseBox() {
    CRecordingLogic logic(*FindDialogLayout(kIddProtect));
    CQtWindowHost host(logic);
    host.AttachLogic();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QTest::keyClick(host.ControlWidget(kIdcDisProtect), Qt::Key_Return);
    QCOMPARE(logic.Events.back(), "command 1"); // Enter presses the default button
    QVERIFY(host.Ended());
    QCOMPARE(host.Result(), int{kIdOk});
    host.Detach();

    CRecordingLogic refusing(*FindDialogLayout(kIddProtect));
    refusing.RefuseCancel = true;
    CQtWindowHost second(refusing);
    second.AttachLogic();
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QTest::keyClick(&second, Qt::Key_Escape);
    QCOMPARE(refusing.Events.back(), "cancel");
    QVERIFY(!second.close()); // the logic kept the window open
    QCOMPARE(refusing.Events.back(), "cancel");
    QVERIFY(second.isVisible());
    refusing.RefuseCancel = false;
    QVERIFY(second.close());
    QVERIFY(second.Ended());
    QCOMPARE(second.Result(), int{kIdCancel});
    second.Detach();
}

void CQtHostTests::TimerTicksUntilTheDialogEnds() {
    CRecordingLogic logic(MainLayout());
    logic.Init = [](IWindowHost& host) { host.StartTimer(1, 10); };
    logic.Timer = [&logic](IWindowHost& host, int) {
        if (logic.Ticks == 5) {
            host.EndDialog(kIdOk);
        }
    };
    CQtWindowHost host(logic);
    QCOMPARE(host.RunModal(), int{kIdOk});
    QCOMPARE(logic.Ticks, 5);
    QVERIFY(!logic.Attached());
    QTest::qWait(50);
    QCOMPARE(logic.Ticks, 5); // no tick after the end
}

void CQtHostTests::WaitCursorNests() {
    CRecordingLogic logic(MainLayout());
    CQtWindowHost host(logic);
    host.AttachLogic();
    QVERIFY(QApplication::overrideCursor() == nullptr);
    {
        CWaitCursor outer(host);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            CWaitCursor inner(host);
            QCOMPARE(host.WaitCursorDepth(), 2);
        }
        QVERIFY(QApplication::overrideCursor() != nullptr);
    }
    QVERIFY(QApplication::overrideCursor() == nullptr);
    host.EndWaitCursor(); // one too many does no harm
    host.BeginWaitCursor();
    host.Detach(); // a cursor left on is taken off with the window
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void CQtHostTests::MenuBarByPosition() {
    CRecordingLogic logic(MainLayout());
    logic.Command = [](IWindowHost&, int) {};
    CQtWindowHost host(logic);
    host.AttachLogic();
    int menu = -1;
    int position = -1;
    QVERIFY(FindMenuItem(host, kIdmExit, menu, position));
    QCOMPARE(menu, 0);
    QCOMPARE(position, host.MenuItemCount(0) - 1);

    // A check mark is the logic's to set: a choice alone does not move it.
    QVERIFY(FindMenuItem(host, kIdmHexCheck, menu, position));
    QAction* hexCheck = host.Menu(menu)->actions()[position];
    hexCheck->trigger();
    QCOMPARE(logic.Events.back(), "command 32804");
    QVERIFY(!hexCheck->isChecked());
    host.CheckMenuItem(menu, position, true);
    QVERIFY(hexCheck->isChecked());
    hexCheck->trigger();
    QVERIFY(hexCheck->isChecked());

    // Graying a whole menu and one item.
    host.EnableMenu(2, false);
    QVERIFY(!host.MenuBar()->actions()[2]->isEnabled());
    host.EnableMenu(2, true);
    host.EnableMenuItem(0, 0, false);
    QVERIFY(!host.Menu(0)->actions()[0]->isEnabled());

    // Recent-file items go in and out by position; a new item can take a
    // check mark and reports its command.
    QVERIFY(FindMenuItem(host, kIdmRecentFile1, menu, position));
    const int count = host.MenuItemCount(menu);
    host.DeleteMenuItem(menu, position);
    host.InsertMenuItem(menu, position, kIdmRecentFile1 + 1, "b&&c.hex");
    host.InsertMenuItem(menu, position, kIdmRecentFile1, "a.hex");
    QCOMPARE(host.MenuItemCount(menu), count + 1);
    QCOMPARE(host.MenuItemId(menu, position), int{kIdmRecentFile1});
    QCOMPARE(host.MenuItemText(menu, position + 1), "b&&c.hex");
    QCOMPARE(host.MenuItemId(menu, position - 1), 0); // a separator has no command
    host.Menu(menu)->actions()[position + 1]->trigger();
    QCOMPARE(logic.Events.back(), "command 32782");
    host.InsertMenuItem(menu, host.MenuItemCount(menu), 0, "");
    QVERIFY(host.Menu(menu)->actions().back()->isSeparator());
    host.Detach();
}

void CQtHostTests::SystemMenuStandsInTheContextMenu() {
    CRecordingLogic logic(MainLayout());
    CQtWindowHost host(logic);
    host.AttachLogic();
    QVERIFY(host.SystemMenuCommands().empty());
    QVERIFY(host.AppendSystemMenuItem(16, "バージョン情報 KVX3(&A)..."));
    QCOMPARE(host.SystemMenuCommands().size(), size_t{1});
    QCOMPARE(host.SystemMenuCommands()[0]->text(), QStringLiteral("バージョン情報 KVX3(&A)..."));
    host.SystemMenuCommands()[0]->trigger();
    QCOMPARE(logic.Events.back(), "syscommand 16");
    host.Detach();
    host.SystemMenuCommands()[0]->trigger();
    QCOMPARE(logic.Events.back(), "syscommand 16"); // nothing reaches a detached logic
    QCOMPARE(logic.Events.size(), size_t{2});
}

void CQtHostTests::MessageBoxesHaveTheirIconAndButtons() {
    struct CSeen {
        QMessageBox::Icon Icon;
        QMessageBox::StandardButtons Buttons;
        QString Text;
        QString DefaultText;
    };
    std::vector<CSeen> seen;
    QMessageBox::StandardButton answer = QMessageBox::Yes;
    CQtWindowHost::SetMessageBoxSeam([&](QMessageBox& box) {
        seen.push_back({box.icon(), box.standardButtons(), box.text(),
                        box.defaultButton() != nullptr ? box.defaultButton()->text() : QString()});
        return answer;
    });
    CRecordingLogic logic(MainLayout());
    CQtWindowHost host(logic);
    host.AttachLogic();
    QCOMPARE(host.Show("ファイルが見つかりません", EMsgIcon::Error, EMsgButtons::Ok), EMsgResult::Ok);
    QCOMPARE(host.Show("停止", EMsgIcon::Stop, EMsgButtons::Ok), EMsgResult::Ok);
    QCOMPARE(host.Show("正常終了しました。", EMsgIcon::Information, EMsgButtons::Ok), EMsgResult::Ok);
    QCOMPARE(host.Show("<b>再読み込み?</b>", EMsgIcon::Exclamation, EMsgButtons::YesNo), EMsgResult::Yes);
    answer = QMessageBox::No;
    QCOMPARE(host.Show("?", EMsgIcon::Exclamation, EMsgButtons::YesNo), EMsgResult::No);
    answer = QMessageBox::NoButton; // closed without an answer
    QCOMPARE(host.Show("?", EMsgIcon::Exclamation, EMsgButtons::YesNo), EMsgResult::No);

    QCOMPARE(seen.size(), size_t{6});
    QCOMPARE(seen[0].Icon, QMessageBox::Critical);
    QCOMPARE(seen[0].Buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(seen[0].Text, QStringLiteral("ファイルが見つかりません"));
    QCOMPARE(seen[1].Icon, QMessageBox::Critical);
    QCOMPARE(seen[2].Icon, QMessageBox::Information);
    QCOMPARE(seen[3].Icon, QMessageBox::Warning);
    QCOMPARE(seen[3].Buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(seen[3].DefaultText, QStringLiteral("はい(&Y)"));
    QCOMPARE(seen[3].Text, QStringLiteral("<b>再読み込み?</b>")); // shown as plain text
    host.Detach();
}

void CQtHostTests::MessageBoxRunsModallyWithoutASeam() {
    CRecordingLogic logic(MainLayout());
    CQtWindowHost host(logic);
    host.AttachLogic();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QString shownText;
    QTimer::singleShot(100, [&shownText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) {
            shownText = box->text();
            box->button(QMessageBox::No)->click();
        }
    });
    QCOMPARE(host.Show("再読み込みしますか?", EMsgIcon::Exclamation, EMsgButtons::YesNo), EMsgResult::No);
    QCOMPARE(shownText, QStringLiteral("再読み込みしますか?"));
    host.Detach();
}

void CQtHostTests::ChildDialogRunsModallyWhileTheTimerGoesOn() {
    CRecordingLogic parent(MainLayout());
    parent.Init = [](IWindowHost& host) { host.StartTimer(1, 10); };
    CQtWindowHost host(parent);
    host.AttachLogic();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));

    CRecordingLogic child(*FindDialogLayout(kIddCalibration));
    int ticksUnderChild = -1;
    child.Init = [&parent, &ticksUnderChild](IWindowHost&) { ticksUnderChild = parent.Ticks; };
    QTimer::singleShot(200, [&] {
        auto* dialog = dynamic_cast<CQtWindowHost*>(QApplication::activeModalWidget());
        if (dialog != nullptr) {
            ticksUnderChild = parent.Ticks - ticksUnderChild; // ticks while it was open
            QTest::mouseClick(dialog->ControlWidget(kIdcRewriteCalibration), Qt::LeftButton);
            QTest::keyClick(dialog, Qt::Key_Escape);
        }
    });
    QCOMPARE(host.RunModalDialog(child), int{kIdCancel});
    QVERIFY2(ticksUnderChild > 3, qPrintable(QString::number(ticksUnderChild)));
    QCOMPARE(child.Events, (std::vector<std::string>{"init", "command 1020", "cancel"}));
    QVERIFY(!child.Attached());

    // OK ends it with OK.
    CRecordingLogic second(*FindDialogLayout(kIddCalibration));
    second.Init = [](IWindowHost& h) {
        QTimer::singleShot(0, [&h] { static_cast<CQtWindowHost&>(h).EndDialog(kIdOk); });
    };
    QCOMPARE(host.RunModalDialog(second), int{kIdOk});
    host.Detach();
}

void CQtHostTests::FileDialogsTakeTheRequest() {
    QCOMPARE(QtNameFilters(ParseFileFilter("Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||")),
             QStringList({"Hex Files (*.hex)", "All Files (*)"}));
    QCOMPARE(QtNameFilters(ParseFileFilter("Images|*.png;*.jpg|")), QStringList({"Images (*.png *.jpg)"}));

    CFileDialogRequest save;
    save.Save = true;
    save.Filter = "Hex Files (*.hex)|*.hex|All Files (*.*)|*.*||";
    save.DefaultExt = "hex";
    save.InitialName = "ReadData.hex";
    save.Options = kFileOverwritePrompt;
    std::unique_ptr<QFileDialog> saveDialog = BuildFileDialog(save, nullptr);
    QCOMPARE(saveDialog->acceptMode(), QFileDialog::AcceptSave);
    QCOMPARE(saveDialog->defaultSuffix(), QStringLiteral("hex"));
    QVERIFY(!saveDialog->testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(saveDialog->selectedNameFilter(), QStringLiteral("Hex Files (*.hex)"));
    QVERIFY(saveDialog->selectedFiles().value(0).endsWith(QStringLiteral("ReadData.hex")));

    CFileDialogRequest open;
    open.Filter = save.Filter;
    open.Options = kFileMustExist | kFileHideReadOnly;
    std::unique_ptr<QFileDialog> openDialog = BuildFileDialog(open, nullptr);
    QCOMPARE(openDialog->acceptMode(), QFileDialog::AcceptOpen);
    QCOMPARE(openDialog->fileMode(), QFileDialog::ExistingFile);
    QVERIFY(openDialog->defaultSuffix().isEmpty());

    // Through the host: the seam sees the dialog as it would be shown.
    QStringList filters;
    CQtWindowHost::SetFileDialogSeam([&filters](QFileDialog& dialog, std::string& path) {
        filters = dialog.nameFilters();
        path = "/tmp/チップ.hex";
        return dialog.acceptMode() == QFileDialog::AcceptOpen;
    });
    CRecordingLogic logic(MainLayout());
    CQtWindowHost host(logic);
    host.AttachLogic();
    std::string path;
    QVERIFY(host.RunFileDialog(open, path));
    QCOMPARE(path, "/tmp/チップ.hex");
    QCOMPARE(filters.size(), 2);
    QVERIFY(!host.RunFileDialog(save, path));
    host.Detach();
}

void CQtHostTests::UnknownControlsAreRefusedQuietly() {
    CRecordingLogic logic(*FindDialogLayout(kIddAbout));
    CQtWindowHost host(logic);
    host.AttachLogic();
    QTest::ignoreMessage(QtWarningMsg, "dialog 100 has no control 1046");
    host.SetItemText(kIdcStatus, "x");
    QTest::ignoreMessage(QtWarningMsg, "control 1 of dialog 100 is not of the kind this call needs");
    QVERIFY(!host.GetCheck(kIdOk));
    QTest::ignoreMessage(QtWarningMsg, "control 1 of dialog 100 is not of the kind this call needs");
    QCOMPARE(host.ComboCount(kIdOk), 0);
    QCOMPARE(host.MenuCount(), 0);
    QTest::ignoreMessage(QtWarningMsg, "no menu at position 0");
    QCOMPARE(host.MenuItemId(0, 0), 0);
    host.Detach();
}

QTEST_MAIN(CQtHostTests)
#include "QtHostTests.moc"
