// What a front end's main() sets up for its whole run, so that the core below
// can treat text as UTF-8 and short pauses as short on every system.
//
// Decisions, once for all front ends:
//  - Text is UTF-8 inside. The command line is taken as UTF-8 (on Windows from
//    the wide command line, not from the ANSI argv), and paths go to the system
//    as UTF-16 through the platform layer.
//  - The console shows UTF-8 while the program runs (the Japanese messages), and
//    gets its previous code page back at the end. Output to a file or a pipe is
//    UTF-8 bytes either way.
//  - Windows wakes a sleeping thread on its timer tick, 15.6 ms by default, so a
//    1 ms pause would last 16 ms; the tick is set to 1 ms while the program
//    runs. Other systems sleep as asked already.
#pragma once

#include <string>
#include <vector>

// The program's arguments as UTF-8, without the program name. On POSIX they
// are argv as given; on Windows they come from the UTF-16 command line, so a
// file name outside the ANSI code page survives.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Console output in UTF-8 while the object lives (Windows: the console's
// output code page; elsewhere nothing to do).
class CUtf8ConsoleScope {
public:
    CUtf8ConsoleScope();
    ~CUtf8ConsoleScope();
    CUtf8ConsoleScope(const CUtf8ConsoleScope&) = delete;
    CUtf8ConsoleScope& operator=(const CUtf8ConsoleScope&) = delete;

private:
    [[maybe_unused]] unsigned m_previousCodePage = 0; // 0: nothing to restore
};

// The system's timer tick at 1 ms while the object lives (Windows:
// timeBeginPeriod; elsewhere nothing to do).
class CFineTimerScope {
public:
    CFineTimerScope();
    ~CFineTimerScope();
    CFineTimerScope(const CFineTimerScope&) = delete;
    CFineTimerScope& operator=(const CFineTimerScope&) = delete;

    // The tick was changed (and will be restored).
    bool Active() const { return m_active; }

private:
    bool m_active = false;
};
