#include "cli/ErrorLines.h"

#include <ostream>

void CErrorLines::Write(const std::string& text) {
    m_err << text;
}

void CErrorLines::WipeProgress() {
    if (!m_progress.empty()) {
        Write('\r' + std::string(m_progress.size(), ' ') + '\r');
    }
}

void CErrorLines::RedrawProgress() {
    if (!m_progress.empty()) {
        Write(m_progress);
    }
    m_err.flush();
}

void CErrorLines::Line(const std::string& text) {
    Lines(text + '\n');
}

void CErrorLines::Lines(const std::string& text) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    WipeProgress();
    Write(text);
    RedrawProgress();
}

void CErrorLines::Progress(const std::string& text) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    Write('\r' + text);
    m_progress = text;
    m_err.flush();
}

void CErrorLines::EndProgress() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_progress.empty()) {
        Write("\n");
        m_progress.clear();
        m_err.flush();
    }
}
