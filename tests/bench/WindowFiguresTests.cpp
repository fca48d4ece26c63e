#include "WindowFigures.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <sstream>

namespace {

std::string ReadFile(const char* path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

} // namespace

TEST(WindowFiguresTest, StartTicksAreCountedAfterTheLastParenthesisOfTheName) {
    // Field 3 is the state, fields 4 to 21 are 1..18, field 22 is 4242.
    const std::string tail = " S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 4242 999 1000\n";
    uint64_t ticks = 0;
    ASSERT_TRUE(ParseStartTicks("123 (kvx3_window_bench)" + tail, ticks));
    EXPECT_EQ(ticks, 4242U);
    // A name with spaces and parentheses of its own must not shift the fields.
    ticks = 0;
    ASSERT_TRUE(ParseStartTicks("123 (a b) c ) d)" + tail, ticks));
    EXPECT_EQ(ticks, 4242U);

    EXPECT_FALSE(ParseStartTicks("123 kvx3 S 1 2 3", ticks));                    // no name
    EXPECT_FALSE(ParseStartTicks("123 (kvx3) S 1 2 3 4 5 6 7 8 9 10\n", ticks)); // cut short
    EXPECT_FALSE(ParseStartTicks("123 (kvx3) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 -5 1", ticks));
    EXPECT_FALSE(ParseStartTicks("123 (kvx3) S 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 42x 1", ticks));
}

TEST(WindowFiguresTest, TheRealStatOfThisProcessGivesItsStartOfMomentsAgo) {
    uint64_t ticks = 0;
    ASSERT_TRUE(ParseStartTicks(ReadFile("/proc/self/stat"), ticks));
    timespec now{};
    ASSERT_EQ(clock_gettime(CLOCK_BOOTTIME, &now), 0);
    const long hz = sysconf(_SC_CLK_TCK);
    ASSERT_GT(hz, 0);
    // This test started moments ago: neither in the future nor an hour back
    // (which a neighbouring field, a count or a priority, would give).
    const double started = static_cast<double>(ticks) / static_cast<double>(hz);
    const double nowSeconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
    EXPECT_LE(started, nowSeconds + 0.1);
    EXPECT_GT(started, nowSeconds - 3600);
}

TEST(WindowFiguresTest, StatusValuesAreFoundByTheirWholeName) {
    const std::string status = "Name:\tkvx3\nVmHWM:\t  81234 kB\nVmRSS:\t   70000 kB\nRssAnon:\t 123 kB\n"
                               "VmRSSx:\t 1 kB\nThreads:\t4\n";
    uint64_t kib = 0;
    ASSERT_TRUE(ParseStatusKiB(status, "VmRSS", kib));
    EXPECT_EQ(kib, 70000U);
    ASSERT_TRUE(ParseStatusKiB(status, "VmHWM", kib));
    EXPECT_EQ(kib, 81234U);
    // "Rss" is only the start of other names; a count without a unit is no size.
    EXPECT_FALSE(ParseStatusKiB(status, "Rss", kib));
    EXPECT_FALSE(ParseStatusKiB(status, "Threads", kib));
    EXPECT_FALSE(ParseStatusKiB("VmRSS:\n", "VmRSS", kib));
    EXPECT_FALSE(ParseStatusKiB("", "VmRSS", kib));
    // The last line need not end with a newline.
    ASSERT_TRUE(ParseStatusKiB("Name:\tx\nVmRSS:\t5 kB", "VmRSS", kib));
    EXPECT_EQ(kib, 5U);

    // This process's own figures: some memory, and a peak no lower than now.
    const std::string own = ReadFile("/proc/self/status");
    uint64_t rss = 0;
    uint64_t peak = 0;
    ASSERT_TRUE(ParseStatusKiB(own, "VmRSS", rss));
    ASSERT_TRUE(ParseStatusKiB(own, "VmHWM", peak));
    EXPECT_GT(rss, 0U);
    EXPECT_GE(peak, rss);
}

TEST(WindowFiguresTest, TheRowGivesIdleCpuAsAShareOfACoreAndMemoryInMiB) {
    CWindowFigures figures;
    figures.Label = "simulated writer";
    figures.StartupMs = 412.4;
    figures.InMainMs = 301.6;
    figures.StartupCpuMs = 250;
    figures.IdleSeconds = 10;
    figures.IdleCpuSeconds = 0.025;
    figures.IdleSwitches = 105;
    figures.RssKiB = 51200;
    figures.PeakRssKiB = 52224;
    EXPECT_EQ(WindowTableRow(figures),
              "| simulated writer | 412 | 302 | 250 | 10.0 | 0.25 | 10.5 | 50.0 | 51.0 |\n");

    // No known start and no idle time: "?" rather than a figure made up.
    figures.StartupMs = -1;
    figures.IdleSeconds = 0;
    EXPECT_EQ(WindowTableRow(figures), "| simulated writer | ? | 302 | 250 | 0.0 | ? | ? | 50.0 | 51.0 |\n");

    // The header has as many columns as a row.
    const std::string header = WindowTableHeader();
    const std::string firstLine = header.substr(0, header.find('\n'));
    const auto bars = [](const std::string& text) { return std::count(text.begin(), text.end(), '|'); };
    EXPECT_EQ(bars(firstLine), bars(WindowTableRow(figures)));
}

TEST(WindowFiguresTest, TheCommandLineTakesAKindAndTimesAndRefusesTheRest) {
    CWindowBenchOptions options;
    std::string error;
    ASSERT_TRUE(ParseWindowBenchArgs({}, options, error));
    EXPECT_TRUE(options.Windows.empty());
    EXPECT_EQ(options.IdleSeconds, 10);
    EXPECT_LT(options.SpawnedAtNs, 0);

    ASSERT_TRUE(ParseWindowBenchArgs(
        {"--window", "sim", "--idle-seconds", "1.5", "--settle-seconds", "0", "--spawned-at", "123456789"},
        options, error))
        << error;
    ASSERT_EQ(options.Windows.size(), 1U);
    EXPECT_EQ(options.Windows[0], EBenchWindow::Simulated);
    EXPECT_EQ(options.IdleSeconds, 1.5);
    EXPECT_EQ(options.SettleSeconds, 0);
    EXPECT_EQ(options.SpawnedAtNs, 123456789);
    // Each kind by its word, the last one given counting.
    for (EBenchWindow kind : {EBenchWindow::NoWriter, EBenchWindow::Simulated, EBenchWindow::BareDialog}) {
        ASSERT_TRUE(ParseWindowBenchArgs({"--window", "sim", "--window", WindowWord(kind)}, options, error));
        ASSERT_EQ(options.Windows.size(), 1U);
        EXPECT_EQ(options.Windows[0], kind);
        EXPECT_FALSE(std::string(WindowLabel(kind)).empty());
    }

    const std::vector<std::vector<std::string>> bad = {
        {"--window"},                // no value
        {"--window", "usb"},         // no such kind
        {"--backend", "sim"},        // unknown
        {"--idle-seconds", "0"},     // nothing measured
        {"--idle-seconds", "-1"},    //
        {"--idle-seconds", "10s"},   // trailing text
        {"--idle-seconds", "nan"},   //
        {"--settle-seconds", "1e9"}, // beyond a day
        {"--spawned-at", "-5"},      //
        {"--spawned-at", "99999999999999999999"},
        {"--verbose", "1"}, // unknown
        {"extra"},
    };
    for (const auto& args : bad) {
        CWindowBenchOptions fresh;
        error.clear();
        EXPECT_FALSE(ParseWindowBenchArgs(args, fresh, error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
}
