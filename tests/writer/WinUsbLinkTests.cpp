// The WinUSB backend's logic over a scripted system: which interface is
// opened, with which pipes and time-outs, how often the system is asked, and
// when the writer counts as gone.
#include "FakeWinUsbApi.h"

#include "writer/usb_link/WinUsbLink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

const std::string kWriterPath =
    "\\\\?\\usb#vid_0ade&pid_0010#5&2c5b8c2a&0&2#{6f5e5c2e-52ad-4e67-b342-b2022277e677}";
const std::string kAltPath =
    "\\\\?\\USB#VID_08DA&PID_FF0B#6&1a2b3c&0&1#{6f5e5c2e-52ad-4e67-b342-b2022277e677}";
const std::string kOtherPath = "\\\\?\\usb#vid_046d&pid_c52b#7&aa&0&3#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";

const std::vector<CWinUsbPipe> kWriterPipes = {
    {0x81, false, 8}, // an interrupt IN pipe first: not the one
    {0x02, true, 64}, // bulk OUT
    {0x83, true, 64}, // bulk IN
    {0x04, true, 64}, // a second bulk OUT: the first one wins
};

class WinUsbLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_world->Pipes[kWriterPath] = kWriterPipes;
        m_world->Pipes[kAltPath] = {{0x01, true, 64}, {0x82, true, 32}};
    }

    // The link, made once the test has set up the world it starts in.
    CWinUsbLink& Link() {
        if (!m_link) {
            m_link = std::make_unique<CWinUsbLink>(std::make_unique<CFakeWinUsbApi>(m_world),
                                                   [this] { return m_now; });
        }
        return *m_link;
    }

    void Plug(const std::string& path) {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        m_world->Present.push_back(path);
    }
    void Unplug(const std::string& path) {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        std::erase(m_world->Present, path);
    }
    int Listings() {
        std::lock_guard<std::mutex> lock(m_world->Mutex);
        return m_world->Listings;
    }

    std::shared_ptr<CFakeWinUsbWorld> m_world = std::make_shared<CFakeWinUsbWorld>();
    CWinUsbLink::Clock::time_point m_now{std::chrono::hours(1)};
    std::unique_ptr<CWinUsbLink> m_link;
};

} // namespace

TEST_F(WinUsbLinkTest, OpensTheInterfaceWithTheIdentifiersAskedForAndItsFirstBulkPipes) {
    Plug(kOtherPath);
    Plug(kAltPath);
    Plug(kWriterPath);
    CWinUsbLink& link = Link();
    const IUsbLink::Handle device = link.OpenDevice(0x0ADE, 0x0010);
    ASSERT_NE(device, IUsbLink::kInvalidHandle);
    EXPECT_EQ(m_world->OpenAttempts, std::vector<std::string>{kWriterPath}) << "only the matching interface";
    EXPECT_EQ(m_world->LastWanted, (std::vector<CUsbIdPair>{{0x0ADE, 0x0010}}));

    // Both chosen pipes get the link's time-out.
    const IWinUsbApi::Device opened = m_world->Open.begin()->first;
    EXPECT_EQ(m_world->Timeouts.size(), 2U);
    EXPECT_EQ((m_world->Timeouts[{opened, 0x02}]), IUsbLink::kTransferTimeoutMs);
    EXPECT_EQ((m_world->Timeouts[{opened, 0x83}]), IUsbLink::kTransferTimeoutMs);

    const IUsbLink::Handle out = link.OpenPipe(device, IUsbLink::kPipeOut);
    const IUsbLink::Handle in = link.OpenPipe(device, IUsbLink::kPipeIn);
    ASSERT_NE(out, IUsbLink::kInvalidHandle);
    ASSERT_NE(in, IUsbLink::kInvalidHandle);
    EXPECT_NE(out, in);
    EXPECT_EQ(link.OpenPipe(device, 2), IUsbLink::kInvalidHandle);
    EXPECT_EQ(link.OpenPipe(device + 1, IUsbLink::kPipeOut), IUsbLink::kInvalidHandle);

    const uint8_t packet[3] = {0x10, 0x20, 0x30};
    EXPECT_TRUE(link.WritePipe(out, packet, sizeof packet));
    EXPECT_FALSE(link.WritePipe(in, packet, sizeof packet)) << "the IN pipe takes no packet";
    ASSERT_EQ(m_world->Written.size(), 1U);
    EXPECT_EQ(m_world->Written[0].first, 0x02);
    EXPECT_EQ(m_world->Written[0].second, std::vector<uint8_t>(packet, packet + 3));

    // An answer is read a whole packet at a time and cut to what was asked.
    m_world->Answers.push_back(std::vector<uint8_t>(20, 0x5A));
    uint8_t answer[10] = {};
    EXPECT_EQ(link.ReadPipe(in, answer, sizeof answer), 10U);
    EXPECT_EQ(answer[9], 0x5A);
    ASSERT_EQ(m_world->Reads.size(), 1U);
    EXPECT_EQ(m_world->Reads[0], (std::pair<uint8_t, size_t>{0x83, 64}));
    EXPECT_EQ(link.ReadPipe(out, answer, sizeof answer), 0U) << "the OUT pipe gives no answer";

    // The second pair finds the other writer, with its own pipes.
    const IUsbLink::Handle alt = link.OpenDevice(0x08DA, 0xFF0B);
    ASSERT_NE(alt, IUsbLink::kInvalidHandle);
    EXPECT_NE(alt, device);
    m_world->Answers.push_back({1, 2, 3});
    EXPECT_EQ(link.ReadPipe(link.OpenPipe(alt, IUsbLink::kPipeIn), answer, 64), 3U);
    EXPECT_EQ(m_world->Reads.back(), (std::pair<uint8_t, size_t>{0x82, 64}));

    // A writer that is open already is not opened a second time.
    EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
}

TEST_F(WinUsbLinkTest, AnAbsentWriterIsLookedForAtMostOnceASecond) {
    CWinUsbLink& link = Link();
    EXPECT_FALSE(link.HasDeviceNotification());
    for (int tick = 0; tick < 150; ++tick) {
        EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
        EXPECT_EQ(link.OpenDevice(0x08DA, 0xFF0B), IUsbLink::kInvalidHandle);
        m_now += 10ms;
    }
    // One listing for each pair when it was first asked for, then one a
    // second later, in a second and a half of ticks.
    EXPECT_EQ(Listings(), 3);
    EXPECT_EQ(m_world->LastWanted, (std::vector<CUsbIdPair>{{0x0ADE, 0x0010}, {0x08DA, 0xFF0B}}));

    Plug(kAltPath);
    m_now += 500ms;
    EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    EXPECT_NE(link.OpenDevice(0x08DA, 0xFF0B), IUsbLink::kInvalidHandle) << "found on the next listing";
    EXPECT_EQ(Listings(), 4);
}

TEST_F(WinUsbLinkTest, WithDeviceNoticesTheSystemIsAskedOnlyAfterAChange) {
    m_world->Notifies = true;
    CWinUsbLink& link = Link();
    EXPECT_TRUE(link.HasDeviceNotification());
    for (int tick = 0; tick < 500; ++tick) {
        EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
        m_now += 10ms;
    }
    EXPECT_EQ(Listings(), 1) << "five seconds without a change";

    Plug(kWriterPath);
    m_world->Notify();
    const IUsbLink::Handle device = link.OpenDevice(0x0ADE, 0x0010);
    EXPECT_NE(device, IUsbLink::kInvalidHandle);
    EXPECT_EQ(Listings(), 2);
    EXPECT_EQ(link.CheckPresence(device), 0);
    EXPECT_EQ(Listings(), 2);

    // Should a notice be lost, a listing every ten seconds still notices.
    Unplug(kWriterPath);
    m_now += 9s;
    EXPECT_EQ(link.CheckPresence(device), 0);
    m_now += 1s;
    EXPECT_EQ(link.CheckPresence(device), 1);
    EXPECT_EQ(Listings(), 3);
}

TEST_F(WinUsbLinkTest, TheWriterHasGoneWhenItsInterfaceIsNoLongerListed) {
    Plug(kWriterPath);
    CWinUsbLink& link = Link();
    const IUsbLink::Handle device = link.OpenDevice(0x0ADE, 0x0010);
    ASSERT_NE(device, IUsbLink::kInvalidHandle);
    EXPECT_EQ(link.CheckPresence(device), 0);

    // A listing that fails proves nothing.
    m_world->ListingFails = true;
    m_now += 1s;
    EXPECT_EQ(link.CheckPresence(device), 0);
    m_world->ListingFails = false;

    Unplug(kWriterPath);
    m_now += 500ms;
    EXPECT_EQ(link.CheckPresence(device), 0) << "not listed again within the second";
    m_now += 500ms;
    EXPECT_EQ(link.CheckPresence(device), 1);
    EXPECT_EQ(link.CheckPresence(device), 1) << "gone stays gone";

    const uint8_t packet[1] = {0};
    EXPECT_FALSE(link.WritePipe(link.OpenPipe(device, IUsbLink::kPipeOut), packet, 1));
    EXPECT_TRUE(m_world->Written.empty()) << "nothing is sent to a writer known gone";

    link.CloseDevice(device);
    EXPECT_EQ(m_world->Closes, 1);
    EXPECT_TRUE(m_world->Open.empty());
    EXPECT_EQ(link.CheckPresence(device), 1);
    EXPECT_EQ(link.OpenPipe(device, IUsbLink::kPipeOut), IUsbLink::kInvalidHandle);
    link.CloseDevice(device);
    EXPECT_EQ(m_world->Closes, 1) << "a second close does nothing";

    // Plugged in again: a new handle.
    Plug(kWriterPath);
    m_now += 1s;
    const IUsbLink::Handle again = link.OpenDevice(0x0ADE, 0x0010);
    EXPECT_NE(again, IUsbLink::kInvalidHandle);
    EXPECT_NE(again, device);
}

TEST_F(WinUsbLinkTest, ATransferThatFindsTheDeviceGoneEndsItAtOnce) {
    Plug(kWriterPath);
    CWinUsbLink& link = Link();
    const IUsbLink::Handle device = link.OpenDevice(0x0ADE, 0x0010);
    ASSERT_NE(device, IUsbLink::kInvalidHandle);
    const IUsbLink::Handle out = link.OpenPipe(device, IUsbLink::kPipeOut);
    const IUsbLink::Handle in = link.OpenPipe(device, IUsbLink::kPipeIn);
    const uint8_t packet[2] = {1, 2};
    uint8_t answer[64] = {};

    // A time-out or another failure is one failed transfer, nothing more.
    m_world->ReadOutcome = EWinUsbTransfer::TimedOut;
    EXPECT_EQ(link.ReadPipe(in, answer, sizeof answer), 0U);
    m_world->WriteOutcome = EWinUsbTransfer::Failed;
    EXPECT_FALSE(link.WritePipe(out, packet, sizeof packet));
    EXPECT_EQ(link.CheckPresence(device), 0);

    m_world->WriteOutcome = EWinUsbTransfer::DeviceGone;
    EXPECT_FALSE(link.WritePipe(out, packet, sizeof packet));
    const int listings = Listings();
    EXPECT_EQ(link.CheckPresence(device), 1);
    EXPECT_EQ(Listings(), listings) << "known without asking the system";
}

TEST_F(WinUsbLinkTest, AFailedReadIsToldFromAnEmptyAnswer) {
    Plug(kWriterPath);
    CWinUsbLink& link = Link();
    const IUsbLink::Handle device = link.OpenDevice(0x0ADE, 0x0010);
    ASSERT_NE(device, IUsbLink::kInvalidHandle);
    const IUsbLink::Handle in = link.OpenPipe(device, IUsbLink::kPipeIn);
    uint8_t answer[64] = {};
    bool failed = true;

    m_world->Answers.push_back({});
    EXPECT_EQ(link.ReadAnswer(in, answer, sizeof answer, failed), 0U);
    EXPECT_FALSE(failed) << "a zero-length packet came";
    m_world->Answers.push_back({7, 8});
    EXPECT_EQ(link.ReadAnswer(in, answer, sizeof answer, failed), 2U);
    EXPECT_FALSE(failed);

    for (const EWinUsbTransfer outcome :
         {EWinUsbTransfer::TimedOut, EWinUsbTransfer::Failed, EWinUsbTransfer::DeviceGone}) {
        m_world->ReadOutcome = outcome;
        failed = false;
        EXPECT_EQ(link.ReadAnswer(in, answer, sizeof answer, failed), 0U);
        EXPECT_TRUE(failed) << static_cast<int>(outcome);
    }
    failed = false;
    EXPECT_EQ(link.ReadAnswer(link.OpenPipe(device, IUsbLink::kPipeOut), answer, sizeof answer, failed), 0U);
    EXPECT_TRUE(failed) << "the OUT pipe";
}

TEST_F(WinUsbLinkTest, LateAnswersAreDrainedUnderAShortTimeOutThatIsTakenBackAfterwards) {
    Plug(kWriterPath);
    CWinUsbLink& link = Link();
    const IUsbLink::Handle device = link.OpenDevice(0x0ADE, 0x0010);
    ASSERT_NE(device, IUsbLink::kInvalidHandle);
    const IUsbLink::Handle in = link.OpenPipe(device, IUsbLink::kPipeIn);
    const IWinUsbApi::Device opened = m_world->Open.begin()->first;
    m_world->SilentReadsTimeOut = true;

    // Two late answers and an empty packet among them: two dropped, and the
    // read after them waits only the short time-out.
    m_world->Answers = {{1, 2}, {}, {3}};
    EXPECT_EQ(link.DrainPipe(in, 5), 2U);
    EXPECT_EQ(m_world->ReadTimeouts, (std::vector<unsigned>{5, 5, 5, 5}));
    EXPECT_EQ((m_world->Timeouts[{opened, 0x83}]), IUsbLink::kTransferTimeoutMs);
    // The next answer is the writer's own again, under the full time-out.
    m_world->Answers = {{9}};
    uint8_t answer[64] = {};
    EXPECT_EQ(link.ReadPipe(in, answer, sizeof answer), 1U);
    EXPECT_EQ(m_world->ReadTimeouts.back(), IUsbLink::kTransferTimeoutMs);

    // Nothing waiting: nothing dropped; a wait of 0 still sets a time-out,
    // since WinUSB takes 0 as none at all.
    m_world->ReadTimeouts.clear();
    EXPECT_EQ(link.DrainPipe(in, 0), 0U);
    EXPECT_EQ(m_world->ReadTimeouts, (std::vector<unsigned>{1}));

    // A writer that answers without end holds the link only so long.
    m_world->Answers.assign(100, std::vector<uint8_t>{0x55});
    EXPECT_EQ(link.DrainPipe(in, 5), CWinUsbLink::kMaxDrainedAnswers);
    EXPECT_EQ(m_world->Answers.size(), 100U - CWinUsbLink::kMaxDrainedAnswers);
    EXPECT_EQ(link.DrainPipe(link.OpenPipe(device, IUsbLink::kPipeOut), 5), 0U) << "the OUT pipe";
    EXPECT_EQ(link.CheckPresence(device), 0);

    // A pipe that will not take its full time-out back serves no more.
    m_world->Answers.clear();
    m_world->TimeoutsAcceptedBeforeRefusal = 1;
    EXPECT_EQ(link.DrainPipe(in, 5), 0U);
    EXPECT_EQ(link.CheckPresence(device), 1);
}

TEST_F(WinUsbLinkTest, AnInterfaceThatCannotServeIsClosedAndTriedAgainASecondLater) {
    Plug(kWriterPath);
    m_world->Unopenable.insert(kWriterPath);
    CWinUsbLink& link = Link();
    EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    m_now += 100ms;
    EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    EXPECT_EQ(m_world->OpenAttempts.size(), 1U) << "not on every tick";

    // Opened, but without a pipe time-out: of no use, and closed again.
    m_world->Unopenable.clear();
    m_world->TimeoutRefused = true;
    m_now += 1s;
    EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    EXPECT_EQ(m_world->OpenAttempts.size(), 2U);
    EXPECT_EQ(m_world->Closes, 1);

    // Opened, but without both bulk pipes.
    m_world->TimeoutRefused = false;
    m_world->Pipes[kWriterPath] = {{0x02, true, 64}, {0x83, false, 64}};
    m_now += 1s;
    EXPECT_EQ(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    EXPECT_EQ(m_world->Closes, 2);
    EXPECT_TRUE(m_world->Open.empty());

    m_world->Pipes[kWriterPath] = kWriterPipes;
    m_now += 1s;
    EXPECT_NE(link.OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
}

TEST_F(WinUsbLinkTest, TheLinkClosesWhatIsStillOpenWhenItGoes) {
    Plug(kWriterPath);
    Plug(kAltPath);
    ASSERT_NE(Link().OpenDevice(0x0ADE, 0x0010), IUsbLink::kInvalidHandle);
    ASSERT_NE(Link().OpenDevice(0x08DA, 0xFF0B), IUsbLink::kInvalidHandle);
    m_link.reset();
    EXPECT_EQ(m_world->Closes, 2);
    EXPECT_TRUE(m_world->Open.empty());
}

TEST_F(WinUsbLinkTest, APresenceCheckMayRunBesideATransfer) {
    Plug(kWriterPath);
    CWinUsbLink& link = Link();
    const IUsbLink::Handle device = link.OpenDevice(0x0ADE, 0x0010);
    ASSERT_NE(device, IUsbLink::kInvalidHandle);
    const IUsbLink::Handle out = link.OpenPipe(device, IUsbLink::kPipeOut);
    const IUsbLink::Handle in = link.OpenPipe(device, IUsbLink::kPipeIn);
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        const uint8_t packet[4] = {1, 2, 3, 4};
        uint8_t answer[8];
        while (!stop.load()) {
            link.WritePipe(out, packet, sizeof packet);
            link.ReadPipe(in, answer, sizeof answer);
        }
    });
    // Each check lists the interfaces again; only this thread reads the clock.
    for (int tick = 0; tick < 200; ++tick) {
        m_now += 1s;
        EXPECT_EQ(link.CheckPresence(device), 0);
    }
    EXPECT_GE(Listings(), 200);
    stop = true;
    worker.join();
    link.CloseDevice(device);
}
