// The tool's error stream, shared by the owner's thread (messages, progress)
// and the worker thread (the packet trace): every line reaches it whole.
//
// On a terminal the progress bar is one line redrawn in place. A line written
// while it is shown wipes it, takes its place, and the bar is drawn again
// below, so the bar stays the last line and no line is split by it.
#pragma once

#include <iosfwd>
#include <mutex>
#include <string>

class CErrorLines {
public:
    explicit CErrorLines(std::ostream& err) : m_err(err) {}
    CErrorLines(const CErrorLines&) = delete;
    CErrorLines& operator=(const CErrorLines&) = delete;

    // One whole line; the newline is added. Any thread.
    void Line(const std::string& text);
    // Several lines that no other line may come between; each ends with a
    // newline of its own. Any thread.
    void Lines(const std::string& text);
    // Draws the progress line in place of the one shown (no newline).
    void Progress(const std::string& text);
    // Leaves the progress line shown as it is and starts a new line after it.
    void EndProgress();

private:
    // With the lock held: wipes the shown progress line.
    void WipeProgress();
    void RedrawProgress();
    void Write(const std::string& text);

    std::mutex m_mutex;
    std::ostream& m_err;
    std::string m_progress; // the progress line shown; empty when none
};
