// The window program as a user meets it, on Qt's offscreen platform: the
// application object with the simulated writer, a settings file and a data
// folder of its own; a device chosen, a hex file loaded through the file
// dialog, Program pressed, and the chip, the status line and the progress bar
// looked at; a cell toggled and its colour read from its palette; the window
// closed and started again to verify the same chip.
#include "QtTestSupport.h"
#include "QtUserRunner.h"

#include "GatedLink.h"
#include "app/QtProgram.h"
#include "ops/Station.h"
#include "sim/MidRangeChip.h"
#include "sim/SimChips.h"
#include "sim/SimWriter.h"
#include "ui/MainDlg.h"
#include "ui/StringTable.h"
#include "ui/qt/QtWindowHost.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString kDevice = QStringLiteral("PIC16F877A");
constexpr int kOperationTimeoutMs = 120000;

QString Fixture() {
    return QStringLiteral(KVX3_SOURCE_DIR "/tests/fixtures/blink16f877a.hex");
}

struct CShownBox {
    QString Text;
    QMessageBox::Icon Icon;
};

QLabel* Label(CQtWindowHost& host, int id) {
    return qobject_cast<QLabel*>(host.ControlWidget(id));
}

QAbstractButton* Button(CQtWindowHost& host, int id) {
    return qobject_cast<QAbstractButton*>(host.ControlWidget(id));
}

QColor Background(QWidget* widget) {
    return widget->autoFillBackground() ? widget->palette().color(QPalette::Window)
                                        : widget->parentWidget()->palette().color(QPalette::Window);
}

} // namespace

class CQtMainWindowTests : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void ProgramsTheSimulatedChipAndAStartAgainVerifiesIt();
    void ARunningOperationShowsItsProgressAndKeepsTheWindowOpen();
    void EveryDeviceOfTheCatalogueShowsItsTextsWhole();

private:
    // Chooses the device in the selector as the user does.
    static bool ChooseDevice(CQtWindowHost& host, const QString& name);
    static bool WaitUntilIdle(CKVX3Dlg& window);

    QTemporaryDir m_dir;
    std::vector<CShownBox> m_boxes;
    std::vector<QStringList> m_fileFilters;
    QString m_fileAnswer;
};

void CQtMainWindowTests::initTestCase() {
    QVERIFY(m_dir.isValid());
    // The program's own places for its settings and its chips, made private.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    CQtWindowHost::SetMessageBoxSeam([this](QMessageBox& box) {
        m_boxes.push_back({box.text(), box.icon()});
        return box.standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    });
    CQtWindowHost::SetFileDialogSeam([this](QFileDialog& dialog, std::string& path) {
        m_fileFilters.push_back(dialog.nameFilters());
        if (m_fileAnswer.isEmpty()) {
            return false;
        }
        path = m_fileAnswer.toStdString();
        return true;
    });
}

void CQtMainWindowTests::cleanupTestCase() {
    CQtWindowHost::SetMessageBoxSeam({});
    CQtWindowHost::SetFileDialogSeam({});
}

bool CQtMainWindowTests::ChooseDevice(CQtWindowHost& host, const QString& name) {
    auto* combo = qobject_cast<QComboBox*>(host.ControlWidget(kIdcDevice));
    const int index = combo != nullptr ? combo->findText(name) : -1;
    if (index < 0) {
        return false;
    }
    combo->setCurrentIndex(index);
    emit combo->activated(index); // what a choice in the open list sends
    return true;
}

bool CQtMainWindowTests::WaitUntilIdle(CKVX3Dlg& window) {
    return QTest::qWaitFor([&window] { return !window.Station().Runner().IsRunning(); }, kOperationTimeoutMs);
}

void CQtMainWindowTests::ProgramsTheSimulatedChipAndAStartAgainVerifiesIt() {
    // ---- first run: choose, load, program, toggle ----
    CUserRunner first([&](CQtWindowHost& host, CKVX3Dlg& window) {
        QCOMPARE(host.windowTitle(), QStringLiteral("Kavex3"));
        QTRY_VERIFY(window.Station().Runner().Connected());
        QVERIFY(ChooseDevice(host, kDevice));
        QCOMPARE(Label(host, kIdcStatus)->text(), QStringLiteral("Select Device"));

        m_fileAnswer = Fixture();
        QTest::mouseClick(Button(host, kIdcFileOpen), Qt::LeftButton);
        QCOMPARE(m_fileFilters.size(), size_t{1});
        QCOMPARE(m_fileFilters[0], QStringList({"Hex Files (*.hex)", "All Files (*)"}));
        QCOMPARE(Label(host, kIdcStatus)->text(), QStringLiteral("Load Hex File"));
        QVERIFY(!qobject_cast<QPlainTextEdit*>(host.ControlWidget(kIdcProgramDump))->toPlainText().isEmpty());

        auto* progress = qobject_cast<QProgressBar*>(host.ControlWidget(kIdcProgress));
        QTest::mouseClick(Button(host, kIdcProgram), Qt::LeftButton);
        QVERIFY(window.Station().Runner().IsRunning());
        QVERIFY(WaitUntilIdle(window));
        QCOMPARE(Label(host, kIdcStatus)->text(), QStringLiteral("Program / EEPROM Verify"));
        QVERIFY(Button(host, kIdcProgram)->isEnabled());
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 100);
        // The simulated writer is done within a tick or two: the bar's range
        // is checked here, its movement with a held worker below.

        // The chip holds the file's program, word for word.
        const CDeviceList& device = window.Station().Device();
        auto* chip = window.Station().Simulator()->ChipAs<CMidRangeChip>();
        QVERIFY(chip != nullptr);
        size_t used = 0;
        for (size_t word = 0; word < device.ProgramBytes / 2; ++word) {
            const uint16_t image =
                static_cast<uint16_t>(device.ProgramData[2 * word] | (device.ProgramData[2 * word + 1] << 8));
            QCOMPARE(chip->Peek(EMidRegion::Program, word), image);
            used += image != 0x3FFF ? 1 : 0;
        }
        QVERIFY(used > 10);

        // A named bit of the first word: its cell changes colour with it.
        const int cellId = ConfigCellId(0, 2);
        QWidget* cell = host.ControlWidget(cellId);
        QVERIFY(cell->isEnabled());
        const QString word = Label(host, WordLabelId(0))->text();
        const bool wasSet = window.m_cellValue[0][2] != 0;
        QCOMPARE(Background(cell) == QColor(200, 255, 200), wasSet);
        QTest::mouseClick(cell, Qt::LeftButton);
        QCOMPARE(window.m_cellValue[0][2] != 0, !wasSet);
        QCOMPARE(Background(cell) == QColor(200, 255, 200), !wasSet);
        QVERIFY(Label(host, WordLabelId(0))->text() != word);
        QTest::mouseClick(cell, Qt::LeftButton);
        QCOMPARE(Label(host, WordLabelId(0))->text(), word);

        // A protect bit cleared shows the protecting colour.
        for (int column = 0; column < kGridColumns; ++column) {
            if (window.m_cellProtect[0][column] != 0 && window.m_cellSettable[0][column] != 0) {
                QWidget* protect = host.ControlWidget(ConfigCellId(0, column));
                if (window.m_cellValue[0][column] != 0) {
                    QTest::mouseClick(protect, Qt::LeftButton);
                }
                QCOMPARE(Background(protect), QColor(255, 200, 200));
                QTest::mouseClick(protect, Qt::LeftButton);
                QVERIFY(Background(protect) != QColor(255, 200, 200));
                break;
            }
        }

        // Every text the window shows now fits its control.
        for (size_t i = 0; i < host.DialogLayout().Controls.size(); ++i) {
            QString why;
            QVERIFY2(TextFitsWidget(host.WidgetAt(i), why), qPrintable(why));
        }
        QVERIFY(!SaveScreenshot(&host, QStringLiteral("main-window")).isEmpty());
    });
    QCOMPARE(RunKVX3App(EAppBackend::Simulated, first), 0);
    QVERIFY(first.Closed);
    QVERIFY(first.ChildDialogs.empty());
    QVERIFY2(m_boxes.empty(), m_boxes.empty() ? "" : qPrintable(m_boxes.front().Text));

    // What the run left: the settings with the device, and the chip.
    const QString appName = QString::fromStdString(CurrentAppName());
    QFile settings(m_dir.filePath(QStringLiteral("config/Quorvane/") + appName + QStringLiteral(".conf")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(settings.readAll().contains(kDevice.toUtf8()));
    QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("data/kvx3/sim-chips/")) +
                          QString::fromStdString(SimChipFileName(kDevice.toStdString()))));

    // ---- second run: the same chip, verified against the recent file ----
    CUserRunner second([&](CQtWindowHost& host, CKVX3Dlg& window) {
        auto* combo = qobject_cast<QComboBox*>(host.ControlWidget(kIdcDevice));
        QCOMPARE(combo->currentText(), kDevice);
        QTRY_VERIFY(window.Station().Runner().Connected());

        // The recent file is the first item of the File menu's list.
        QMenu* file = host.Menu(0);
        QAction* recent = nullptr;
        for (QAction* action : file->actions()) {
            if (action->data().toInt() == kIdmRecentFile1) {
                recent = action;
            }
        }
        QVERIFY(recent != nullptr);
        QVERIFY(recent->isEnabled());
        QVERIFY(recent->text().contains(QStringLiteral("blink16f877a.hex")));
        file->popup(host.mapToGlobal(QPoint(0, host.ClientTop())));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        QVERIFY(!SaveScreenshot(file, QStringLiteral("menu-file")).isEmpty());
        file->hide();
        QMenu* settingsMenu = host.Menu(1);
        settingsMenu->popup(host.mapToGlobal(QPoint(0, host.ClientTop())));
        QVERIFY(QTest::qWaitForWindowExposed(settingsMenu));
        QVERIFY(!SaveScreenshot(settingsMenu, QStringLiteral("menu-settings")).isEmpty());
        settingsMenu->hide();
        recent->trigger();
        QCOMPARE(Label(host, kIdcStatus)->text(), QStringLiteral("Load Hex File"));

        QTest::mouseClick(Button(host, kIdcVerify), Qt::LeftButton);
        QVERIFY(WaitUntilIdle(window));
        QCOMPARE(Label(host, kIdcStatus)->text(), QStringLiteral("Program / EEPROM Verify"));

        // The about item of the stand-in system menu.
        QCOMPARE(host.SystemMenuCommands().size(), size_t{1});
        QCOMPARE(host.SystemMenuCommands()[0]->text(), ToQString(StringTableText(kIdsAboutBox)));
    });
    QCOMPARE(RunKVX3App(EAppBackend::Simulated, second), 0);
    QVERIFY(second.Closed);
    QVERIFY2(second.ChildDialogs.empty(), "no verify error report");
    QVERIFY(m_boxes.empty());
}

void CQtMainWindowTests::ARunningOperationShowsItsProgressAndKeepsTheWindowOpen() {
    // The window over a simulated writer behind a gate that can hold the
    // worker in the middle of its packets.
    CSimWriter sim(MakeSimChip(kDevice.toStdString(), ESimTiming::Typical));
    CGatedLink link(sim);
    CKVX3Dlg window;
    window.m_strDevice = kDevice.toStdString();
    window.Station().Device().ListPath = KVX3_SOURCE_DIR "/data/PicDeviceList3.txt";
    QCOMPARE(window.Station().UseLink(link), EBackendResult::Ok);
    CQtWindowHost host(window);
    host.AttachLogic();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    QTRY_VERIFY(window.Station().Runner().Connected());

    auto* progress = qobject_cast<QProgressBar*>(host.ControlWidget(kIdcProgress));
    link.PauseAtPacket(400);
    QTest::mouseClick(Button(host, kIdcRead), Qt::LeftButton);
    QVERIFY(link.WaitUntilPaused());
    QTRY_VERIFY(progress->value() > 0);
    QVERIFY(progress->value() < 100);
    QCOMPARE(Label(host, kIdcStatus)->text(), QStringLiteral("Program / EEPROM Read"));
    // Commands wait; Cancel and the cells stay.
    for (int id : {int{kIdOk}, int{kIdcProgram}, int{kIdcRead}, int{kIdcVerify}, int{kIdcErase},
                   int{kIdcFileOpen}, int{kIdcDevice}}) {
        QVERIFY2(!host.ControlWidget(id)->isEnabled(), qPrintable(QString::number(id)));
    }
    for (int menu = 0; menu < host.MenuCount(); ++menu) {
        QVERIFY(!host.Menu(menu)->menuAction()->isEnabled());
    }
    QVERIFY(host.ControlWidget(kIdCancel)->isEnabled());

    // The close box asks the operation to stop; the window stays.
    QVERIFY(!host.close());
    QVERIFY(host.isVisible());
    QVERIFY(!host.Ended());
    link.Resume();
    QVERIFY(WaitUntilIdle(window));
    QVERIFY(host.isVisible());
    QVERIFY(host.ControlWidget(kIdcProgram)->isEnabled());
    for (int menu = 0; menu < host.MenuCount(); ++menu) {
        QVERIFY(host.Menu(menu)->menuAction()->isEnabled());
    }

    // Now Escape closes it.
    QTest::keyClick(&host, Qt::Key_Escape);
    QVERIFY(host.Ended());
    QCOMPARE(host.Result(), int{kIdCancel});
    QVERIFY(!host.isVisible());
    host.Detach();
}

void CQtMainWindowTests::EveryDeviceOfTheCatalogueShowsItsTextsWhole() {
    CSimWriter sim;
    CKVX3Dlg window;
    window.Station().Device().ListPath = KVX3_SOURCE_DIR "/data/PicDeviceList3.txt";
    QCOMPARE(window.Station().UseLink(sim), EBackendResult::Ok);
    CQtWindowHost host(window);
    host.AttachLogic();
    host.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host));
    auto* combo = qobject_cast<QComboBox*>(host.ControlWidget(kIdcDevice));
    QVERIFY(combo->count() > 10);
    int devices = 0;
    for (int item = 0; item < combo->count(); ++item) {
        const QString name = combo->itemText(item);
        if (name.startsWith(QLatin1Char('-'))) {
            continue;
        }
        QVERIFY(ChooseDevice(host, name));
        ++devices;
        // Every page of the grid, as Next shows them.
        for (int page = 0;; ++page) {
            for (size_t i = 0; i < host.DialogLayout().Controls.size(); ++i) {
                QString why;
                QVERIFY2(TextFitsWidget(host.WidgetAt(i), why),
                         qPrintable(name + QStringLiteral(", page %1: ").arg(page) + why));
            }
            QAbstractButton* next = Button(host, kIdcNext);
            if (!next->isEnabled()) {
                break;
            }
            QTest::mouseClick(next, Qt::LeftButton);
        }
    }
    QVERIFY(devices > 10);
    host.Detach();
}

QTEST_MAIN(CQtMainWindowTests)
#include "QtMainWindowTests.moc"
