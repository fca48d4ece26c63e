#include "MainWindowBench.h"

#include "sim/SimChips.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

std::string ShippedCatalogue() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

std::vector<std::string> DumpLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

CMainWindowBench::CMainWindowBench(const std::string& device, bool open) {
    Sim.InsertChip(MakeSimChip(device, ESimTiming::Typical));
    Window.m_strDevice = device;
    Device().ListPath = ShippedCatalogue();
    EXPECT_EQ(Station().UseLink(Link), EBackendResult::Ok);
    if (open) {
        Open();
    }
}

CMainWindowBench::~CMainWindowBench() {
    Link.Resume();
}

bool CMainWindowBench::Connect() {
    for (int i = 0; i < 10 && !Runner().Connected(); ++i) {
        Tick();
    }
    return Runner().Connected();
}

bool TickUntilIdle(CTestWindowHost& host, const CRunner& runner) {
    // A hang guard by the clock, not by a count of ticks: a short sleep may
    // return at once (MinGW's runtime does), and then any count of ticks
    // passes before the worker has done its part.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (runner.IsRunning() && std::chrono::steady_clock::now() < deadline) {
        host.FireTimers();
        if (runner.IsBusy()) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            std::this_thread::yield();
        }
    }
    return !runner.IsRunning();
}

bool CMainWindowBench::RunToEnd() {
    return TickUntilIdle(Host, Runner());
}

bool CMainWindowBench::ChooseDevice(const std::string& name) {
    const std::vector<std::string> items = Host.ComboItems(kIdcDevice);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == name) {
            return Host.ChooseComboItem(kIdcDevice, static_cast<int>(i));
        }
    }
    return false;
}

void CMainWindowBench::PutChip(const std::string& name) {
    Sim.InsertChip(MakeSimChip(name, ESimTiming::Typical));
}

std::string CMainWindowBench::WriteHex(const std::string& name, const std::string& device,
                                       const std::function<void(CPicDevice&)>& change) {
    CDeviceList d;
    d.ListPath = ShippedCatalogue();
    EXPECT_TRUE(d.LoadDevice(device));
    CHexFile hex;
    hex.AssignFrom(d);
    change(hex);
    const std::string path = Dir.File(name);
    EXPECT_TRUE(hex.SaveHex(path));
    return path;
}

bool CMainWindowBench::OpenFile(const std::string& path) {
    Script.QueueFileAnswer(path);
    return Host.Click(kIdcFileOpen);
}

std::vector<std::string> CMainWindowBench::GridRow(int row) const {
    std::vector<std::string> texts;
    for (int bit = kGridColumns - 1; bit >= 0; --bit) {
        texts.push_back(Host.Text(ConfigCellId(row, bit)));
    }
    return texts;
}
