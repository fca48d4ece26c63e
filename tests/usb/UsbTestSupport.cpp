#include "tests/usb/UsbTestSupport.h"

#include "sim/SimChips.h"
#include "tests/common/TempDir.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace usbtest {

CUsbTest::CUsbTest() {
    if (CUsbTestbed::Unavailable().empty()) {
        m_bus = std::make_unique<CUsbTestbed>();
    }
}

CUsbTest::~CUsbTest() = default;

void CUsbTest::SetUp() {
    const std::string why = CUsbTestbed::Unavailable();
    if (!why.empty()) {
        GTEST_SKIP() << why;
    }
}

CEmulatedWriter& CUsbTest::MakeWriter(const CUsbDeviceLayout& layout, const std::string& chip) {
    m_writers.push_back(std::make_unique<CEmulatedWriter>(layout, MakeSimChip(chip, ESimTiming::Typical)));
    return *m_writers.back();
}

int TickUntil(const std::function<bool()>& step, int maxTicks) {
    for (int tick = 1; tick <= maxTicks; ++tick) {
        if (step()) {
            return tick;
        }
        std::this_thread::sleep_for(kTick);
    }
    return -1;
}

CProgramRun RunProgram(const std::vector<std::string>& args, std::chrono::seconds limit,
                       const std::function<void()>& whileRunning) {
    CProgramRun run;
    CTempDir dir;
    const std::string outPath = dir.File("out");
    const std::string errPath = dir.File("err");
    std::vector<std::string> argv = {KVX3_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (std::string& a : argv) {
        raw.push_back(a.data());
    }
    raw.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, raw[0], &actions, nullptr, raw.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        run.Err = "cannot start " + argv[0];
        return run;
    }
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            run.TimedOut = true;
            break;
        }
        if (whileRunning) {
            whileRunning();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!run.TimedOut && WIFEXITED(status)) {
        run.Status = WEXITSTATUS(status);
    }
    run.Out = ReadWholeFile(outPath);
    run.Err = ReadWholeFile(errPath);
    return run;
}

std::vector<std::string> TraceLines(const std::string& err) {
    static const std::regex kBytes("^[0-9A-F]{2}( [0-9A-F]{2})*$");
    std::vector<std::string> lines;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line)) {
        if (std::regex_match(line, kBytes)) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string SourcePath(const std::string& relative) {
    return std::string(KVX3_SOURCE_DIR) + "/" + relative;
}

} // namespace usbtest
