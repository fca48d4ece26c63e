// A Windows that a test scripts: the device interfaces it lists, what each
// one's pipes are, and how its transfers end. The state is shared, so a test
// still sees it after the link has taken the object.
#pragma once

#include "writer/usb_link/WinUsbApi.h"

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <utility>

struct CFakeWinUsbWorld {
    std::mutex Mutex;
    // --- what the test sets ---
    std::vector<std::string> Present;
    bool ListingFails = false;
    bool Notifies = false;
    std::map<std::string, std::vector<CWinUsbPipe>> Pipes; // by path; none: no pipes at all
    std::set<std::string> Unopenable;
    bool TimeoutRefused = false;
    EWinUsbTransfer WriteOutcome = EWinUsbTransfer::Done;
    EWinUsbTransfer ReadOutcome = EWinUsbTransfer::Done;
    std::deque<std::vector<uint8_t>> Answers;
    // With no answer queued, a read waits out its time-out (instead of
    // ending at once with no bytes).
    bool SilentReadsTimeOut = false;
    // Refuses time-outs from this many more calls on (-1: never).
    int TimeoutsAcceptedBeforeRefusal = -1;
    // --- what the link did ---
    int Listings = 0;
    std::vector<CUsbIdPair> LastWanted;
    std::vector<std::string> OpenAttempts;
    std::map<IWinUsbApi::Device, std::string> Open;
    std::map<std::pair<IWinUsbApi::Device, uint8_t>, unsigned> Timeouts;
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> Written; // pipe id, bytes
    std::vector<std::pair<uint8_t, size_t>> Reads;                 // pipe id, buffer length
    std::vector<unsigned> ReadTimeouts;                            // the pipe's time-out at each read
    int Closes = 0;
    std::function<void()> Changed;

    // A device change as the system would announce it.
    void Notify() {
        std::function<void()> changed;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            changed = Changed;
        }
        if (changed) {
            changed();
        }
    }
};

class CFakeWinUsbApi final : public IWinUsbApi {
public:
    explicit CFakeWinUsbApi(std::shared_ptr<CFakeWinUsbWorld> world) : m_world(std::move(world)) {}
    ~CFakeWinUsbApi() override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        m_world->Changed = nullptr;
    }

    bool ListInterfaces(const std::vector<CUsbIdPair>& wanted, std::vector<std::string>& paths) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        ++m_world->Listings;
        m_world->LastWanted = wanted;
        if (m_world->ListingFails) {
            return false;
        }
        paths = m_world->Present;
        return true;
    }

    Device Open(const std::string& path) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        m_world->OpenAttempts.push_back(path);
        const bool present =
            std::find(m_world->Present.begin(), m_world->Present.end(), path) != m_world->Present.end();
        if (!present || m_world->Unopenable.count(path) != 0) {
            return kNoDevice;
        }
        const Device device = m_next++;
        m_world->Open[device] = path;
        return device;
    }

    bool QueryPipes(Device device, std::vector<CWinUsbPipe>& pipes) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        auto it = m_world->Open.find(device);
        if (it == m_world->Open.end()) {
            return false;
        }
        pipes = m_world->Pipes[it->second];
        return true;
    }

    bool SetPipeTimeout(Device device, uint8_t pipeId, unsigned milliseconds) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        if (m_world->TimeoutsAcceptedBeforeRefusal == 0) {
            m_world->TimeoutRefused = true;
        } else if (m_world->TimeoutsAcceptedBeforeRefusal > 0) {
            --m_world->TimeoutsAcceptedBeforeRefusal;
        }
        if (m_world->TimeoutRefused || m_world->Open.count(device) == 0) {
            return false;
        }
        m_world->Timeouts[{device, pipeId}] = milliseconds;
        return true;
    }

    EWinUsbTransfer WritePipe(Device device, uint8_t pipeId, const uint8_t* data, size_t length,
                              size_t& written) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        written = 0;
        if (m_world->Open.count(device) == 0) {
            return EWinUsbTransfer::Failed;
        }
        if (m_world->WriteOutcome != EWinUsbTransfer::Done) {
            return m_world->WriteOutcome;
        }
        m_world->Written.emplace_back(pipeId, std::vector<uint8_t>(data, data + length));
        written = length;
        return EWinUsbTransfer::Done;
    }

    EWinUsbTransfer ReadPipe(Device device, uint8_t pipeId, uint8_t* buffer, size_t length,
                             size_t& got) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        got = 0;
        if (m_world->Open.count(device) == 0) {
            return EWinUsbTransfer::Failed;
        }
        m_world->Reads.emplace_back(pipeId, length);
        m_world->ReadTimeouts.push_back(m_world->Timeouts[{device, pipeId}]);
        if (m_world->ReadOutcome != EWinUsbTransfer::Done) {
            return m_world->ReadOutcome;
        }
        if (m_world->Answers.empty() && m_world->SilentReadsTimeOut) {
            return EWinUsbTransfer::TimedOut;
        }
        if (!m_world->Answers.empty()) {
            const std::vector<uint8_t> answer = std::move(m_world->Answers.front());
            m_world->Answers.pop_front();
            got = std::min(answer.size(), length);
            std::copy(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(got), buffer);
        }
        return EWinUsbTransfer::Done;
    }

    void Close(Device device) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        ++m_world->Closes;
        m_world->Open.erase(device);
    }

    bool WatchDeviceChanges(std::function<void()> changed) override {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        if (!m_world->Notifies) {
            return false;
        }
        m_world->Changed = std::move(changed);
        return true;
    }

private:
    std::shared_ptr<CFakeWinUsbWorld> m_world;
    Device m_next = 100;
};
