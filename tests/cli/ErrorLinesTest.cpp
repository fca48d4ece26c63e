// The error stream's lines stay whole when the worker's trace and the
// progress bar meet on it.
#include "cli/ErrorLines.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

// What a terminal shows for the bytes: a carriage return goes back to the
// start of the line, a newline starts the next one.
std::vector<std::string> Screen(const std::string& bytes) {
    std::vector<std::string> lines(1);
    size_t column = 0;
    for (char c : bytes) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& l = lines.back();
            if (column < l.size()) {
                l[column] = c;
            } else {
                l.push_back(c);
            }
            ++column;
        }
    }
    // Trailing blanks of a wiped line are not text.
    for (std::string& l : lines) {
        l.erase(l.find_last_not_of(' ') + 1);
    }
    return lines;
}

TEST(ErrorLines, ALineWipesTheBarAndTheBarComesBackBelowIt) {
    std::ostringstream out;
    CErrorLines err(out);
    err.Progress("Program / EEPROM Write [###   ] 10%");
    err.Line("80 0E 80 0B");
    err.Progress("Program / EEPROM Write [######] 20%");
    err.EndProgress();
    err.Line("done");
    EXPECT_EQ(Screen(out.str()),
              (std::vector<std::string>{"80 0E 80 0B", "Program / EEPROM Write [######] 20%", "done", ""}));
}

TEST(ErrorLines, LinesFromAnotherThreadNeverSplitTheBarOrEachOther) {
    std::ostringstream out;
    CErrorLines err(out);
    const std::string trace = "4B 33 31 37 14";
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            err.Line(trace);
        }
    });
    for (int percent = 0; percent <= 100; ++percent) {
        err.Progress("Read: " + std::to_string(percent) + "%");
        if (percent % 10 == 0) {
            err.Lines("kvx3-cli: note: one\n  and two\n");
        }
    }
    worker.join();
    err.EndProgress();
    int traced = 0;
    for (const std::string& line : Screen(out.str())) {
        if (line == trace) {
            ++traced;
        } else {
            EXPECT_TRUE(line.empty() || line == "kvx3-cli: note: one" || line == "  and two" ||
                        line == "Read: 100%")
                << "a broken line: " << line;
        }
    }
    EXPECT_EQ(traced, 2000);
}

} // namespace
