#include "RunnerBench.h"

#include "sim/pic18/Pic18Chip.h"

#include <chrono>
#include <memory>
#include <thread>
#include <utility>

// ----------------------------------------------------------------- front end

void CTestFrontEnd::ClearRecords() {
    StatusIds.clear();
    WriterLabels.clear();
    Enables.clear();
    Positions.clear();
    Messages.clear();
    VerifyErrors.clear();
    OutcomesBeforeVerifyErrors.clear();
    Outcomes.clear();
    DeviceShows = RecentMenuBuilds = ProgramDumps = EepromDumps = UserIdRefreshes = DeviceIdShows = 0;
    ConfigGridPages.clear();
}

std::vector<EOutcome> CTestFrontEnd::OutcomeKinds() const {
    std::vector<EOutcome> kinds;
    for (const COutcome& o : Outcomes) {
        kinds.push_back(o.Kind);
    }
    return kinds;
}

CRunnerOptions CTestFrontEnd::Options() const {
    CRunnerOptions options = RunnerOptions;
    options.m_bHexCheck = HexCheck;
    options.m_bSumId = SumId;
    return options;
}

EMsgResult CTestFrontEnd::Show(const std::string& text, EMsgIcon icon, EMsgButtons buttons) {
    Messages.push_back({text, icon, buttons, Outcomes.size()});
    if (DuringModal) {
        DuringModal();
    }
    if (buttons == EMsgButtons::Ok) {
        return EMsgResult::Ok;
    }
    if (Answers.empty()) {
        return EMsgResult::No;
    }
    const EMsgResult answer = Answers.front();
    Answers.pop_front();
    return answer;
}

void CTestFrontEnd::ShowVerifyError(int32_t verifyFlags) {
    VerifyErrors.push_back(verifyFlags);
    OutcomesBeforeVerifyErrors.push_back(Outcomes.size());
    if (DuringModal) {
        DuringModal();
    }
}

// --------------------------------------------------------------------- bench

std::string ShippedCatalogue() {
    return std::string(KVX3_SOURCE_DIR) + "/data/PicDeviceList3.txt";
}

uint16_t CBenchChip::Peek(EMidRegion region, size_t index) const {
    return m_chip != nullptr ? m_chip->Peek(region, index) : 0xFFFF;
}

void CBenchChip::Poke(EMidRegion region, size_t index, uint16_t value) {
    if (m_chip != nullptr) {
        m_chip->Poke(region, index, value);
    }
}

void CBenchChip::SetDeviceId(uint16_t word) {
    if (m_chip != nullptr) {
        m_chip->SetDeviceIdWord(word);
    }
}

uint32_t CBenchChip::ConfigWrites() const {
    return m_chip != nullptr ? m_chip->WritesAt(EMidRegion::Config, 0) : 0;
}

void CBenchChip::SetStuckWord(uint32_t address) {
    if (m_chip != nullptr) {
        m_chip->SetStuckCell(EMidRegion::Program, address);
    }
}

bool CBenchChip::IsErased() const {
    if (m_chip == nullptr) {
        return false;
    }
    const auto all = [this](EMidRegion region, uint16_t blank) {
        for (size_t i = 0; i < m_chip->RegionSize(region); ++i) {
            if (m_chip->Peek(region, i) != blank) {
                return false;
            }
        }
        return true;
    };
    return all(EMidRegion::Program, 0x3FFF) && all(EMidRegion::Eeprom, 0xFF) &&
           all(EMidRegion::UserId, 0x3FFF) && m_chip->Peek(EMidRegion::Config, 0) == 0x3FFF;
}

namespace {

std::unique_ptr<ISimChip> MakeBenchChip(const std::string& name) {
    std::unique_ptr<ISimChip> chip = MakeMidRangeSimChip(name, ESimTiming::Typical);
    return chip != nullptr ? std::move(chip) : MakePic18SimChip(name, ESimTiming::Typical);
}

} // namespace

CRunnerBench::CRunnerBench(const std::string& deviceName, const std::string& chipName,
                           const std::string& catalogue)
    : Sim(MakeBenchChip(chipName.empty() ? deviceName : chipName)), Chip(Sim.ChipAs<CMidRangeChip>()) {
    (void)Station.UseLink(Link);
    Device.ListPath = catalogue;
    Select(deviceName);
}

bool CRunnerBench::Select(const std::string& name) {
    return Station.SelectDevice(name);
}

bool CRunnerBench::TickUntil(const std::function<bool()>& condition, int maxTicks) {
    for (int i = 0; i < maxTicks; ++i) {
        if (condition()) {
            return true;
        }
        Runner.OnTimer();
        if (Runner.IsBusy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return condition();
}

bool CRunnerBench::Connect() {
    return TickUntil([this] { return Runner.Connected(); }, 5);
}

bool CRunnerBench::RunUntilIdle(int maxTicks) {
    return TickUntil([this] { return !Runner.IsRunning(); }, maxTicks);
}

std::vector<CStepTrace> CRunnerBench::TraceSequence(int maxTicks) {
    std::vector<CStepTrace> trace;
    for (int i = 0; i < maxTicks && Runner.IsRunning(); ++i) {
        const int step = Runner.Step();
        const size_t shown = Front.StatusIds.size();
        Runner.OnTimer();
        if (Runner.Step() != step) {
            const int status = Front.StatusIds.size() > shown ? Front.StatusIds.back() : 0;
            trace.push_back({step, status, Runner.HasWorkerThread()});
        }
        if (Runner.IsBusy()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return trace;
}

bool CRunnerBench::LoadImage(const CPicDevice& image, const std::string& path) {
    CHexFile out;
    out.AssignFrom(image);
    if (!out.SaveHex(path)) {
        return false;
    }
    return Station.ApplyHexFile(path);
}

::testing::AssertionResult CRunnerBench::SimHealthy() {
    const CSimWriterCounters c = Sim.Counters();
    const ISimChip* chip = Sim.Chip();
    const uint64_t tooShort = chip != nullptr ? chip->Counters().CyclesTooShort : 0;
    if (c.Obligations.Total() != 0 || c.Firmware.Errors != 0 || c.Firmware.ChipCommandsWithoutVpp != 0 ||
        c.Firmware.ChipCommandsUnwired != 0 || tooShort != 0) {
        return ::testing::AssertionFailure()
               << "obligations " << c.Obligations.Total() << ", firmware errors " << c.Firmware.Errors << " ("
               << c.LastError << "), commands without VPP " << c.Firmware.ChipCommandsWithoutVpp
               << ", unwired " << c.Firmware.ChipCommandsUnwired << ", cycles too short " << tooShort;
    }
    return ::testing::AssertionSuccess();
}

void CRunnerBench::SetImageWord(uint32_t address, uint16_t word) {
    const size_t at = 2 * size_t{address};
    if (at + 1 < Device.ProgramData.size()) {
        Device.ProgramData[at] = static_cast<uint8_t>(word & 0xFF);
        Device.ProgramData[at + 1] = static_cast<uint8_t>(word >> 8);
    }
}
