// The station on a test bench: a front end that records what the station and
// its runner show and answers their questions from a script, and a fixture
// that puts a station over the simulated writer with a simulated chip in its
// socket, the way the main window does.
#pragma once

#include "GatedLink.h"
#include "device/DeviceList.h"
#include "image/HexFile.h"
#include "ops/Station.h"
#include "sim/MidRangeChip.h"
#include "sim/SimWriter.h"
#include "writer/Writer.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

class CTestFrontEnd : public IStationFrontEnd {
public:
    struct CShown {
        std::string Text;
        EMsgIcon Icon;
        EMsgButtons Buttons;
        size_t OutcomesBefore; // outcome calls made before this box
    };

    // --- script ---
    CRunnerOptions RunnerOptions;
    bool HexCheck = true; // m_bHexCheck
    bool SumId = false;   // m_bSumId
    int Page = 0;         // m_nConfigPage
    // Answers to Yes/No questions, in order; No once they run out.
    std::deque<EMsgResult> Answers;
    // Runs inside every modal message or report, as the window's timer keeps
    // ticking under a modal box.
    std::function<void()> DuringModal;

    // --- records ---
    std::vector<int> StatusIds;
    std::vector<std::string> WriterLabels;
    std::vector<bool> Enables;
    int RangeLower = -1;
    int RangeUpper = -1;
    std::vector<int> Positions;
    std::vector<CShown> Messages;
    std::vector<int32_t> VerifyErrors;
    std::vector<size_t> OutcomesBeforeVerifyErrors;
    std::vector<COutcome> Outcomes;
    int DeviceShows = 0;
    int RecentMenuBuilds = 0;
    int ProgramDumps = 0;
    int EepromDumps = 0;
    int UserIdRefreshes = 0;
    int DeviceIdShows = 0;
    std::vector<int> ConfigGridPages;

    bool ControlsEnabled() const { return Enables.empty() || Enables.back(); }
    std::vector<EOutcome> OutcomeKinds() const;
    void ClearRecords();

    // --- IRunnerFrontEnd ---
    EMsgResult Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) override;
    void SetStatusText(int stringId) override { StatusIds.push_back(stringId); }
    void SetWriterLabel(const std::string& text) override { WriterLabels.push_back(text); }
    void EnableControls(bool enable) override { Enables.push_back(enable); }
    void SetProgressRange(int lower, int upper) override {
        RangeLower = lower;
        RangeUpper = upper;
    }
    void SetProgressPos(int position) override { Positions.push_back(position); }
    void ShowVerifyError(int32_t verifyFlags) override;
    void OnOutcome(const COutcome& outcome) override { Outcomes.push_back(outcome); }
    void RefreshProgramDump() override { ++ProgramDumps; }
    void RefreshEepromDump() override { ++EepromDumps; }
    void RefreshUserId() override { ++UserIdRefreshes; }
    void RefreshConfigGrid(int page) override { ConfigGridPages.push_back(page); }
    void ShowDeviceId() override { ++DeviceIdShows; }
    int ConfigPage() const override { return Page; }
    CRunnerOptions Options() const override;

    // --- IStationFrontEnd ---
    void ShowSelectedDevice() override { ++DeviceShows; }
    void RebuildRecentMenu() override { ++RecentMenuBuilds; }
};

// The shipped device catalogue.
std::string ShippedCatalogue();

// One step of a sequence as a trace sees it: its index, the status text it
// showed (0 = none) and whether it left a worker running.
struct CStepTrace {
    int Step;
    int StatusId;
    bool StartedWorker;
    bool operator==(const CStepTrace&) const = default;
};

// The simulated mid-range chip as the tests look at it: its own cells, not
// what the host read back. Reads of a missing (or PIC18) chip give blank
// values; a PIC18 chip is reached through Sim.ChipAs<CPic18Chip>().
class CBenchChip {
public:
    explicit CBenchChip(CMidRangeChip* chip) : m_chip(chip) {}
    bool Present() const { return m_chip != nullptr; }
    uint16_t ProgramWord(uint32_t address) const { return Peek(EMidRegion::Program, address); }
    void SetProgramWord(uint32_t address, uint16_t word) { Poke(EMidRegion::Program, address, word); }
    uint16_t EepromByte(uint32_t address) const { return Peek(EMidRegion::Eeprom, address); }
    uint16_t Config(int i) const { return Peek(EMidRegion::Config, static_cast<size_t>(i)); }
    // Bits the chip does not implement read as the chip defines them.
    void SetConfig(int i, uint16_t word) { Poke(EMidRegion::Config, static_cast<size_t>(i), word); }
    uint16_t UserId(int i) const { return Peek(EMidRegion::UserId, static_cast<size_t>(i)); }
    void SetDeviceId(uint16_t word);
    // Programming cycles that reached configuration word 0.
    uint32_t ConfigWrites() const;
    // Fault: the program word keeps its value.
    void SetStuckWord(uint32_t address);
    // Program memory, EEPROM and user IDs blank and configuration word 0 at
    // 0x3FFF (the erased state of a part without factory calibration).
    bool IsErased() const;

private:
    uint16_t Peek(EMidRegion region, size_t index) const;
    void Poke(EMidRegion region, size_t index, uint16_t value);
    CMidRangeChip* m_chip;
};

class CRunnerBench {
public:
    // The device comes from the shipped catalogue unless another is given;
    // the chip in the socket is of the same type unless another is named.
    explicit CRunnerBench(const std::string& deviceName, const std::string& chipName = "",
                          const std::string& catalogue = ShippedCatalogue());

    CSimWriter Sim;
    CBenchChip Chip;
    CGatedLink Link{Sim};
    CTestFrontEnd Front;
    CStation Station{Front};
    // The station's images and runner.
    CDeviceList& Device = Station.Device();
    CHexFile& File = Station.File();
    CWriter& Writer = Station.Writer();
    CRunner& Runner = Station.Runner();

    // Selects a device type as the window does: its parameters and a blank
    // image into all three records. False when the catalogue lacks it.
    bool Select(const std::string& name);
    // Ticks until the runner has seen the writer.
    bool Connect();
    // Ticks every millisecond until no sequence runs and no worker is busy.
    bool RunUntilIdle(int maxTicks = 20000);
    // Ticks until the condition holds (checked before each tick).
    bool TickUntil(const std::function<bool()>& condition, int maxTicks = 20000);
    // Ticks the running sequence to its end, noting every step that ran.
    std::vector<CStepTrace> TraceSequence(int maxTicks = 20000);
    // Saves the image as a hex file and loads it into the station as the
    // window's Open does.
    bool LoadImage(const CPicDevice& image, const std::string& path);

    // The simulated writer saw every host obligation kept: packets well
    // formed and answered, the chip wired and given its programming voltage
    // for every command, and every programming or erase cycle its time.
    ::testing::AssertionResult SimHealthy();

    // A program word / configuration word of the selected device's image.
    void SetImageWord(uint32_t address, uint16_t word);
};
