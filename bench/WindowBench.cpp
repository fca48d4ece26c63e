// kvx3_window_bench: the window's start-up time to its first painted frame,
// its CPU use while idle and its resident memory, on Qt's offscreen platform.
//
// Without --window it runs itself once for each kind, each in a fresh
// process (so that start-up and memory are those of a program just started),
// and prints a Markdown table: one row with the writer on the USB bus (no
// writer attached), one with the simulated writer, and for comparison one of
// Qt alone: an empty dialog with a timer at the window's period. With
// --window it runs one of them and prints its row. The window runs as the
// window programs run it (QApplication, the program's settings on it, the
// application object with its settings store and data folder), but with a
// settings folder and a data folder of its own, removed at the end.
//
// The first frame is the end of the first paint of the main window: the
// paint events of one frame are delivered together, so a zero timer queued
// by the first of them runs once the frame is painted. After it the start-up
// work is left to settle, the idle event loop is measured (getrusage over
// all threads, and the wall clock), the memory is read from
// /proc/self/status, and the window is closed as the user closes it.
//
// Usage: kvx3_window_bench [--idle-seconds S] [--settle-seconds S]
//        [--window libusb|sim|bare]
#include "WindowFigures.h"
#include "app/QtProgram.h"
#include "settings/Profile.h"
#include "ui/MainDlg.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// How long the window may take to show its first frame, and to close once
// asked, before the run is given up as failed.
constexpr int kFirstFrameLimitMs = 60000;
constexpr int kCloseLimitMs = 30000;

int64_t ClockNs(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct CUsage {
    double CpuSeconds = 0;
    uint64_t Switches = 0;
};

CUsage Usage() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
    };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime),
            static_cast<uint64_t>(usage.ru_nvcsw) + static_cast<uint64_t>(usage.ru_nivcsw)};
}

std::string ReadText(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// The process's start on CLOCK_BOOTTIME, from the kernel's record (to the
// clock tick); negative when it cannot be read.
int64_t ProcessStartBootNs() {
    uint64_t ticks = 0;
    const long hz = sysconf(_SC_CLK_TCK);
    if (hz <= 0 || !ParseStartTicks(ReadText("/proc/self/stat"), ticks)) {
        return -1;
    }
    return static_cast<int64_t>(ticks) * (1000000000 / hz);
}

// Watches the application's events for the main window's first paint, then
// takes the figures on timers and closes the window.
class CWindowWatch : public QObject {
public:
    CWindowWatch(const CWindowBenchOptions& options, CWindowFigures& figures, int64_t mainNs)
        : m_options(options), m_figures(figures), m_mainNs(mainNs) {
        m_startBootNs = ProcessStartBootNs();
    }

    bool Done() const { return m_done; }
    bool Painted() const { return m_painted; }

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (!m_painted && event->type() == QEvent::Paint && object->isWidgetType()) {
            QWidget* window = static_cast<QWidget*>(object)->window();
            // The main window is the dialog without a parent; message boxes
            // and child dialogs are not it.
            if (qobject_cast<QDialog*>(window) != nullptr && window->parentWidget() == nullptr) {
                m_painted = true;
                m_window = window;
                QTimer::singleShot(0, this, [this] { FrameDone(); });
            }
        }
        return QObject::eventFilter(object, event);
    }

private:
    void FrameDone() {
        const int64_t monoNs = ClockNs(CLOCK_MONOTONIC);
        const int64_t bootNs = ClockNs(CLOCK_BOOTTIME);
        if (m_options.SpawnedAtNs >= 0) {
            m_figures.StartupMs = static_cast<double>(monoNs - m_options.SpawnedAtNs) / 1e6;
        } else if (m_startBootNs >= 0) {
            m_figures.StartupMs = static_cast<double>(bootNs - m_startBootNs) / 1e6;
        }
        m_figures.InMainMs = static_cast<double>(monoNs - m_mainNs) / 1e6;
        m_figures.StartupCpuMs = Usage().CpuSeconds * 1000;
        QTimer::singleShot(ToMs(m_options.SettleSeconds), Qt::PreciseTimer, this, [this] { IdleStarts(); });
    }

    void IdleStarts() {
        m_idleStart = Usage();
        m_idleStartNs = ClockNs(CLOCK_MONOTONIC);
        QTimer::singleShot(ToMs(m_options.IdleSeconds), Qt::PreciseTimer, this, [this] { IdleEnds(); });
    }

    void IdleEnds() {
        const CUsage end = Usage();
        m_figures.IdleSeconds = static_cast<double>(ClockNs(CLOCK_MONOTONIC) - m_idleStartNs) / 1e9;
        m_figures.IdleCpuSeconds = end.CpuSeconds - m_idleStart.CpuSeconds;
        m_figures.IdleSwitches = end.Switches - m_idleStart.Switches;
        const std::string status = ReadText("/proc/self/status");
        (void)ParseStatusKiB(status, "VmRSS", m_figures.RssKiB);
        (void)ParseStatusKiB(status, "VmHWM", m_figures.PeakRssKiB);
        m_done = true;
        if (m_window != nullptr) {
            m_window->close(); // the close box: Cancel, and the run ends
        }
    }

    static int ToMs(double seconds) { return static_cast<int>(std::lround(seconds * 1000)); }

    const CWindowBenchOptions& m_options;
    CWindowFigures& m_figures;
    const int64_t m_mainNs;
    int64_t m_startBootNs = -1;
    bool m_painted = false;
    bool m_done = false;
    QPointer<QWidget> m_window;
    CUsage m_idleStart;
    int64_t m_idleStartNs = 0;
};

// A folder of this run only, removed when the run ends.
class CRunFolder {
public:
    CRunFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kvx3-window-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~CRunFolder() {
        if (!m_path.empty()) {
            std::error_code error;
            std::filesystem::remove_all(m_path, error);
        }
    }
    CRunFolder(const CRunFolder&) = delete;
    CRunFolder& operator=(const CRunFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

int RunWindow(EBenchWindow kind, const CWindowBenchOptions& options, int64_t mainNs, char* program) {
    CRunFolder folder;
    if (folder.Path().empty()) {
        std::fprintf(stderr, "kvx3_window_bench: no temporary folder\n");
        return 1;
    }
    // The window's settings and simulated chips stay in the run's folder:
    // the application object finds them where it finds the user's.
    const std::string config = folder.Path() + "/config";
    const std::string data = folder.Path() + "/data";
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);

    CWindowFigures figures;
    figures.Label = WindowLabel(kind);
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication application(qtArgc, qtArgv);
    SetUpQtApplication();
    CWindowWatch watch(options, figures, mainNs);
    application.installEventFilter(&watch);
    // Whatever keeps the window from painting or from closing must not hang
    // the run (the modal loop runs this timer too).
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [&watch, &folder] {
        std::fprintf(stderr, "kvx3_window_bench: the window %s\n",
                     watch.Painted() ? "did not close" : "painted no frame");
        std::fflush(stderr);
        std::error_code error;
        std::filesystem::remove_all(folder.Path(), error);
        std::_Exit(1); // no destructor runs: the window may be in any state
    });
    const double allSeconds = options.SettleSeconds + options.IdleSeconds;
    limit.start(kFirstFrameLimitMs + static_cast<int>(allSeconds * 1000) + kCloseLimitMs);

    int status = 0;
    if (kind == EBenchWindow::BareDialog) {
        QDialog dialog;
        dialog.resize(400, 300);
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [] {});
        tick.start(CKVX3Dlg::kTimerPeriodMs);
        (void)dialog.exec();
    } else {
        CQtMainWindowRunner runner;
        status = RunKVX3App(kind == EBenchWindow::Simulated ? EAppBackend::Simulated : EAppBackend::LibUsb,
                            runner);
    }
    limit.stop();
    application.removeEventFilter(&watch);
    if (!watch.Done()) {
        std::fprintf(stderr, "kvx3_window_bench: the window closed before it was measured\n");
        return 1;
    }
    // The clean end writes the options into the run's own settings file.
    if (kind != EBenchWindow::BareDialog &&
        !std::filesystem::exists(std::filesystem::path(config) / kCompanyKey)) {
        std::fprintf(stderr, "kvx3_window_bench: the window's settings were not saved at its end\n");
        return 1;
    }
    std::fputs(WindowTableRow(figures).c_str(), stdout);
    std::fflush(stdout);
    return status;
}

// Runs this program once for `kind`, marks the time of the start, and
// waits for its end. True when it ended well.
bool RunChild(EBenchWindow kind, const CWindowBenchOptions& options) {
    char exe[4096];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length <= 0) {
        std::fprintf(stderr, "kvx3_window_bench: the program's own path is unknown\n");
        return false;
    }
    exe[length] = '\0';
    const auto seconds = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", value);
        return std::string(text);
    };
    std::vector<std::string> args = {exe,
                                     "--window",
                                     WindowWord(kind),
                                     "--idle-seconds",
                                     seconds(options.IdleSeconds),
                                     "--settle-seconds",
                                     seconds(options.SettleSeconds),
                                     "--spawned-at",
                                     ""};
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    args.back() = std::to_string(ClockNs(CLOCK_MONOTONIC));
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, exe, nullptr, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "kvx3_window_bench: cannot start %s\n", exe);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return false;
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int64_t mainNs = ClockNs(CLOCK_MONOTONIC);
    CWindowBenchOptions options;
    std::string error;
    if (!ParseWindowBenchArgs(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(
            stderr,
            "kvx3_window_bench: %s\nusage: kvx3_window_bench [--idle-seconds S] [--settle-seconds S] "
            "[--window libusb|sim|bare]\n",
            error.c_str());
        return 2;
    }
    if (options.Windows.size() == 1) {
        return RunWindow(options.Windows.front(), options, mainNs, argv[0]);
    }
    std::fputs(WindowTableHeader().c_str(), stdout);
    std::fflush(stdout);
    bool ok = true;
    for (EBenchWindow kind : {EBenchWindow::NoWriter, EBenchWindow::Simulated, EBenchWindow::BareDialog}) {
        ok = RunChild(kind, options) && ok;
    }
    return ok ? 0 : 1;
}
