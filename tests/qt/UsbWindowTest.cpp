// kvx3 as its users run it: the application object with the writer on the
// USB bus, through the real libusb, on a real X server where one runs (see
// run-under-x.sh). The bus is a private one built with umockdev; the writer
// on it hands every bulk packet to the simulated writer firmware with a
// PIC16F877A in its socket. The window finds the writer when it is plugged
// in; a Program from a hex file chosen through the file dialog loses it in
// the middle and says so; the next Program leaves the file in the chip; the
// window shows the writer gone when it is unplugged, and finds it again.
#include "QtTestSupport.h"
#include "QtUserRunner.h"

#include "app/KVX3App.h"
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "ops/Station.h"
#include "ops/Strings.h"
#include "settings/UserStore.h"
#include "sim/SimChips.h"
#include "tests/usb/ChipCompare.h"
#include "tests/usb/EmulatedWriter.h"
#include "tests/usb/UsbPreload.h"
#include "tests/usb/UsbTestbed.h"
#include "ui/MainDlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr char kDevice[] = "PIC16F877A";
constexpr char kAppName[] = "kvx3";
// libusb polls usbdevfs without pause under umockdev while a transfer
// waits, so a writer that fell silent must not hold a core for the
// program's own two seconds a packet; the emulated writer answers within a
// millisecond when it answers at all.
constexpr unsigned kTransferTimeoutMs = 150;
// Bounded waits. An arrival or a removal on the bus reaches the window
// through libusb's event thread and the next timer tick; a Program of the
// PIC16F877A is some thousands of exchanges of well under a millisecond.
constexpr int kEventTimeoutMs = 5000;
constexpr int kOperationTimeoutMs = 60000;
// Where the first Program loses its writer: past the device ID check, in
// the middle of the erase and write (a whole Program is some 2900 packets).
constexpr uint64_t kCutAtPacket = 300;

QString SourcePath(const char* relative) {
    return QStringLiteral(KVX3_SOURCE_DIR "/") + QString::fromLatin1(relative);
}

QString LabelText(CQtWindowHost& host, int id) {
    auto* label = qobject_cast<QLabel*>(host.ControlWidget(id));
    return label != nullptr ? label->text() : QStringLiteral("(no label %1)").arg(id);
}

QAbstractButton* Button(CQtWindowHost& host, int id) {
    return qobject_cast<QAbstractButton*>(host.ControlWidget(id));
}

// Chooses the device in the selector as the user does.
bool ChooseDevice(CQtWindowHost& host, const QString& name) {
    auto* combo = qobject_cast<QComboBox*>(host.ControlWidget(kIdcDevice));
    const int index = combo != nullptr ? combo->findText(name) : -1;
    if (index < 0) {
        return false;
    }
    combo->setCurrentIndex(index);
    emit combo->activated(index); // what a choice in the open list sends
    return true;
}

} // namespace

class CUsbWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void ProgramsTheChipOfAWriterPluggedInWhileTheWindowIsOpen();

private:
    QTemporaryDir m_dir;
    QStringList m_boxes;
    QString m_fileAnswer;
};

void CUsbWindowTest::initTestCase() {
    const std::string why = CUsbTestbed::Unavailable();
    if (!why.empty()) {
        QSKIP(why.c_str());
    }
    qInfo("Qt platform: %s", qPrintable(QGuiApplication::platformName()));
    QVERIFY(m_dir.isValid());
    // The program's settings land in a folder of this run's own.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    CQtWindowHost::SetMessageBoxSeam([this](QMessageBox& box) {
        m_boxes.push_back(box.text());
        return box.standardButtons().testFlag(QMessageBox::No) ? QMessageBox::No : QMessageBox::Ok;
    });
    CQtWindowHost::SetFileDialogSeam([this](QFileDialog&, std::string& path) {
        if (m_fileAnswer.isEmpty()) {
            return false;
        }
        path = m_fileAnswer.toStdString();
        return true;
    });
}

void CUsbWindowTest::cleanupTestCase() {
    CQtWindowHost::SetMessageBoxSeam({});
    CQtWindowHost::SetFileDialogSeam({});
}

void CUsbWindowTest::ProgramsTheChipOfAWriterPluggedInWhileTheWindowIsOpen() {
    const QString fixture = SourcePath("tests/fixtures/blink16f877a.hex");
    // The image as the file says, read apart from the window.
    CDeviceList record;
    record.ListPath = SourcePath("data/PicDeviceList3.txt").toStdString();
    QVERIFY(record.LoadDevice(kDevice));
    CHexFile image;
    image.AssignFrom(record);
    QVERIFY(image.LoadHex(fixture.toStdString()));

    // The bus exists before the program's libusb starts, and goes after it
    // has shut down; the writer outlives the bus, which unplugs it.
    CEmulatedWriter device(WriterLayout(), MakeSimChip(kDevice, ESimTiming::Typical));
    CUsbTestbed bus;

    CUserRunner user([&](CQtWindowHost& host, CKVX3Dlg& window) {
        // No writer yet: the window says so and keeps polling.
        QCOMPARE(window.Station().Backend(), EWriterBackend::LibUsb);
        QTest::qWait(100);
        QVERIFY(!window.Station().Runner().Connected());
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("KVX Non Conect"));

        // Plugged in: found at a timer tick, its banner shown.
        bus.Plug(device);
        QTRY_VERIFY_WITH_TIMEOUT(window.Station().Runner().Connected(), kEventTimeoutMs);
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("KVX Connect"));
        QVERIFY(!window.Station().Writer().Banner.empty());
        QCOMPARE(LabelText(host, kIdcWriterLabel), QString::fromStdString(window.Station().Writer().Banner));

        QVERIFY(ChooseDevice(host, QString::fromLatin1(kDevice)));
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("Select Device"));
        m_fileAnswer = fixture;
        QTest::mouseClick(Button(host, kIdcFileOpen), Qt::LeftButton);
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("Load Hex File"));
        const auto chipDifferences = [&] {
            return QString::fromStdString(
                device.Inspect([&](CSimWriter& sim) { return ChipDifferences(*sim.Chip(), image); }));
        };

        // The cable goes in the middle of a Program: the window shows the
        // writer gone, and once it is back says that it was lost, once,
        // with the program cut off and nothing claimed.
        device.UnplugAtPacket(device.Packets() + kCutAtPacket);
        QTest::mouseClick(Button(host, kIdcProgram), Qt::LeftButton);
        QVERIFY(window.Station().Runner().IsRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!window.Station().Runner().Connected(), kOperationTimeoutMs);
        QVERIFY(!device.Attached());
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("KVX Non Conect"));
        QCOMPARE(LabelText(host, kIdcWriterLabel), QStringLiteral("Disconect Writer"));
        bus.Plug(device);
        QTRY_VERIFY_WITH_TIMEOUT(window.Station().Runner().Connected(), kEventTimeoutMs);
        QVERIFY(
            QTest::qWaitFor([&window] { return !window.Station().Runner().IsRunning(); }, kEventTimeoutMs));
        QCOMPARE(m_boxes, QStringList{QString::fromUtf8(kMsgWriterLost)});
        QVERIFY(user.ChildDialogs.empty());
        QVERIFY(!chipDifferences().isEmpty());
        m_boxes.clear();

        // A whole Program: erased, written, read back and compared without
        // a word, and the chip holds the file.
        QTest::mouseClick(Button(host, kIdcProgram), Qt::LeftButton);
        QVERIFY(window.Station().Runner().IsRunning());
        QVERIFY(QTest::qWaitFor([&window] { return !window.Station().Runner().IsRunning(); },
                                kOperationTimeoutMs));
        QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join(QLatin1Char('\n'))));
        QVERIFY2(user.ChildDialogs.empty(), "no verify error report");
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("Program / EEPROM Verify"));
        QVERIFY(Button(host, kIdcProgram)->isEnabled());
        QVERIFY2(device.Packets() > kCutAtPacket, "the program went over the bus");
        QCOMPARE(chipDifferences(), QString());

        // Unplugged while idle: noticed at a tick, shown as gone, and the
        // commands wait for a writer.
        bus.Unplug(device);
        QTRY_VERIFY_WITH_TIMEOUT(!window.Station().Runner().Connected(), kEventTimeoutMs);
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("KVX Non Conect"));
        QCOMPARE(LabelText(host, kIdcWriterLabel), QStringLiteral("Disconect Writer"));
        const uint64_t packetsGone = device.Packets();
        QTest::mouseClick(Button(host, kIdcProgram), Qt::LeftButton);
        QVERIFY(!window.Station().Runner().IsRunning());
        QCOMPARE(device.Packets(), packetsGone);

        // Back again: opened anew at a later tick.
        bus.Plug(device);
        QTRY_VERIFY_WITH_TIMEOUT(window.Station().Runner().Connected(), kEventTimeoutMs);
        QCOMPARE(LabelText(host, kIdcStatus), QStringLiteral("KVX Connect"));
        QVERIFY(!SaveScreenshot(&host, QStringLiteral("usb-window")).isEmpty());
    });

    {
        const std::unique_ptr<ISettingsStore> store = OpenUserSettingsStore();
        CAppSetup setup;
        setup.Backend = EAppBackend::LibUsb;
        setup.DeviceListPath = record.ListPath;
        setup.UsbTransferTimeoutMs = kTransferTimeoutMs;
        CKVX3App app(*store, kAppName, setup);
        (void)app.InitInstance(user); // false: no message loop follows
    }
    if (QTest::currentTestFailed()) {
        return;
    }
    QVERIFY(user.Closed);
    QVERIFY2(user.ChildDialogs.empty(), "no dialog over the window");
    QVERIFY2(m_boxes.isEmpty(), qPrintable(m_boxes.join(QLatin1Char('\n'))));
    const CUsbdevfsCounters counters = device.Counters();
    QCOMPARE(counters.Opens, uint64_t{3});
    QCOMPARE(counters.RefusedSubmits + counters.UnknownRequests, uint64_t{0});

    // The program saved its settings with the device on the way out.
    QFile settings(m_dir.filePath(QStringLiteral("config/Quorvane/%1.conf").arg(QLatin1String(kAppName))));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(settings.readAll().contains(kDevice));
}

int main(int argc, char** argv) {
    usbtest::LoadPreloadLibrary(argv);
    QApplication application(argc, argv);
    // As the program sets it up (app/QtProgram.cpp).
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setQuitOnLastWindowClosed(false);
    CUsbWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "UsbWindowTest.moc"
