// The link: opening with the two identifier pairs, presence, unplug and
// re-plug, and what a running operation does when the writer goes away.
#include "WriterTestSupport.h"

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <span>
#include <thread>
#include <utility>
#include <vector>

namespace {

using IdPair = std::pair<uint16_t, uint16_t>;
const IdPair kFirst{0x0ADE, 0x0010};
const IdPair kSecond{0x08DA, 0xFF0B};

TEST_F(WriterTest, AbsentWriterMakesTwoAttemptsPerTick) {
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_FALSE(writer.Poll());
    }
    const std::vector<IdPair> attempts = link.OpenAttempts();
    ASSERT_EQ(attempts.size(), 6u);
    for (size_t i = 0; i < attempts.size(); i += 2) {
        EXPECT_EQ(attempts[i], kFirst);
        EXPECT_EQ(attempts[i + 1], kSecond);
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(link.PresenceChecks(), 0);
    EXPECT_EQ(writer.DeviceHandle(), IUsbLink::kInvalidHandle);
    EXPECT_FALSE(writer.IsOpen());
}

TEST_F(WriterTest, OpeningIdlesAndIdentifies) {
    link.Plug(kFirst.first, kFirst.second);
    link.QueueAnswer({}); // idle
    link.QueueAnswer({'K', '3', '1', '0', 20});
    ASSERT_TRUE(writer.Poll());
    EXPECT_EQ(link.OpenAttempts(), std::vector<IdPair>{kFirst});
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Add(kIdlePacket, 10).Add(kIdentify, 19)));
    EXPECT_NE(writer.DeviceHandle(), IUsbLink::kInvalidHandle);
    EXPECT_NE(writer.PipeOut(), writer.PipeIn());
    EXPECT_EQ(writer.Banner, "KVX3 Ver.10 / CLK=20MHz");
    EXPECT_TRUE(writer.IsOpen());
}

TEST_F(WriterTest, SecondPairOnlyOpensAfterOneFailedAttempt) {
    link.Plug(kSecond.first, kSecond.second);
    ASSERT_TRUE(writer.Poll());
    EXPECT_EQ(link.OpenAttempts(), (std::vector<IdPair>{kFirst, kSecond}));
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Add(kIdlePacket, 10).Add(kIdentify, 19)));
    EXPECT_EQ(writer.Banner, "KVX test Version");
    EXPECT_EQ(writer.ClockMHz, 4);
}

TEST_F(WriterTest, OpenWriterIsOnlyCheckedForPresence) {
    Open();
    for (int tick = 0; tick < 5; ++tick) {
        EXPECT_TRUE(writer.Poll());
    }
    EXPECT_EQ(link.PresenceChecks(), 5);
    EXPECT_TRUE(link.OpenAttempts().empty());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(WriterTest, UnplugClosesAndReplugReopens) {
    Open();
    const IUsbLink::Handle first = writer.DeviceHandle();
    link.Unplug();
    EXPECT_FALSE(writer.Poll());
    EXPECT_EQ(link.Closes(), 1);
    EXPECT_EQ(writer.DeviceHandle(), IUsbLink::kInvalidHandle);
    EXPECT_EQ(writer.PipeOut(), 0);
    EXPECT_EQ(writer.PipeIn(), 0);
    EXPECT_FALSE(writer.IsOpen());

    link.ClearRecords();
    EXPECT_FALSE(writer.Poll());
    EXPECT_EQ(link.OpenAttempts().size(), 2u);
    SetupMid(16, 0);
    EXPECT_FALSE(writer.ReadProgram());
    EXPECT_TRUE(Sent().empty());

    link.ClearRecords();
    link.Plug(kFirst.first, kFirst.second);
    link.QueueAnswer({});
    link.QueueAnswer({'K', '4', '0', '2', 16});
    EXPECT_TRUE(writer.Poll());
    EXPECT_NE(writer.DeviceHandle(), first);
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Add(kIdlePacket, 10).Add(kIdentify, 19)));
    EXPECT_EQ(writer.Banner, "KVX4 Ver.02 / CLK=16MHz");
    EXPECT_EQ(link.Violations(), 0) << link.ViolationLog().front();
}

TEST_F(WriterTest, DestructorClosesAnOpenWriter) {
    CFakeUsbLink other;
    other.Plug(kFirst.first, kFirst.second);
    {
        CWriter w(other);
        ASSERT_TRUE(w.Poll());
    }
    EXPECT_EQ(other.Closes(), 1);
    {
        CWriter w(other);
        EXPECT_FALSE(w.IsOpen());
    }
    EXPECT_EQ(other.Closes(), 1);
    EXPECT_EQ(other.Violations(), 0);
}

TEST_F(WriterTest, AFailedTransferFindsTheWriterGoneBeforeThePoll) {
    Open();
    SetupMid(64, 0);
    link.Unplug(); // the tick has not noticed yet
    EXPECT_FALSE(writer.ReadProgram()) << "packets that could not be written make the operation fail";
    EXPECT_TRUE(Sent().empty());
    // The first refused packet asks whether the writer is there: it is not,
    // so nothing more is tried (not the blocks, not the exit).
    EXPECT_EQ(writer.FailedWriteCount(), 1u);
    EXPECT_EQ(link.PresenceChecks(), 1);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(writer.LinkFault(), ELinkFault::Lost);
    EXPECT_EQ(link.Violations(), 0);
    EXPECT_FALSE(writer.Poll());
    EXPECT_EQ(writer.DeviceHandle(), IUsbLink::kInvalidHandle) << "the tick closes it";
}

// An unplug while a worker reads a large program memory: the worker stops
// within a block, never reaches the backend with the closed handles, and the
// call returns false. The worker is held inside its 40th packet until the
// writer has been pulled and the tick has marked the link down, so where it
// stops does not depend on how the threads happen to run.
TEST_F(WriterTest, UnplugDuringALongReadStopsTheWorker) {
    Open();
    SetupMid(0x2000, 0);
    std::promise<void> reached;
    std::promise<void> gate;
    std::shared_future<void> opened = gate.get_future().share();
    std::atomic<bool> once{false};
    link.SetWriteHook([&](size_t count) {
        if (count == 40 && !once.exchange(true)) {
            reached.set_value();
            opened.wait();
        }
    });
    writer.Busy = true;
    auto worker = std::async(std::launch::async, [&] {
        const bool result = writer.ReadProgram();
        writer.Busy = false;
        return result;
    });
    ASSERT_EQ(reached.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    link.Unplug();
    // The window's tick: its presence check marks the link down at once, and
    // its close waits for the exchange the worker is in.
    auto ticks = std::async(std::launch::async, [&] {
        bool present = true;
        while (present) {
            present = writer.Poll();
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (writer.IsOpen() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(writer.IsOpen());
    gate.set_value();
    ASSERT_EQ(ticks.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "tick hangs";
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "worker hangs";
    EXPECT_FALSE(worker.get());
    EXPECT_FALSE(writer.Busy);
    EXPECT_EQ(link.PacketCount(), 40u) << "nothing after the unplug";
    EXPECT_LT(writer.GetProgress(), 0x4000 / 2);
    EXPECT_EQ(link.Violations(), 0) << link.ViolationLog().front();
    EXPECT_EQ(link.Closes(), 1);
}

// While an operation that began on the old link is still ending, the tick
// does not reopen a writer that has come back, so none of that operation's
// packets can reach it; and its host waits stop with the link.
TEST_F(WriterTest, NoReopenUnderARunningOperation) {
    Open();
    SetupMid(64, 0);
    writer.WriteCycle = 0;
    writer.DeviceId = 0xFFFF; // word writes with 20 ms host waits

    std::mutex m;
    std::condition_variable cv;
    bool inDelay = false;
    bool release = false;
    link.SetDelayHook([&](unsigned) {
        std::unique_lock<std::mutex> lock(m);
        inDelay = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
    });
    auto worker = std::async(std::launch::async, [&] { return writer.WriteProgram(); });
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return inDelay; }));
    }
    link.Unplug();
    EXPECT_FALSE(writer.Poll());
    link.Plug(kFirst.first, kFirst.second);
    link.ClearRecords();
    EXPECT_FALSE(writer.Poll());
    EXPECT_TRUE(link.OpenAttempts().empty());
    {
        std::lock_guard<std::mutex> lock(m);
        release = true;
    }
    cv.notify_all();
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(worker.get());
    EXPECT_TRUE(Sent().empty()); // no packet of the cut-off routine, not even its exit
    EXPECT_TRUE(link.Delays().empty());

    EXPECT_TRUE(writer.Poll());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Add(kIdlePacket, 10).Add(kIdentify, 19)));
    EXPECT_EQ(link.Violations(), 0) << link.ViolationLog().front();
}

// The tick marks the link down before it waits for the exchange in flight,
// so the worker skips the 20 ms pause that follows that exchange and stops.
TEST_F(WriterTest, HostWaitsAreSkippedOnceTheLinkIsDown) {
    Open();
    SetupMid(64, 0);
    writer.WriteCycle = 0;
    writer.DeviceId = 0xFFFF;

    std::promise<void> inExchange;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    link.SetWriteHook([&](size_t count) {
        if (count == 3) { // the first word's load, with the link lock held
            inExchange.set_value();
            released.wait();
        }
    });
    auto worker = std::async(std::launch::async, [&] { return writer.WriteProgram(); });
    ASSERT_EQ(inExchange.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    link.Unplug();
    auto tick = std::async(std::launch::async, [&] { return writer.Poll(); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (writer.IsOpen() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(writer.IsOpen());
    release.set_value();
    ASSERT_EQ(tick.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(tick.get());
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(worker.get());
    EXPECT_TRUE(link.Delays().empty());
    EXPECT_EQ(link.PacketCount(), 3u);
    EXPECT_EQ(link.Violations(), 0) << link.ViolationLog().front();
}

// The trace hook runs on the worker that exchanges, and not under the link
// lock: a tick that closes the link while the hook is running does not wait
// for it. The answer of the exchange is still traced after its packet.
TEST_F(WriterTest, TickClosesTheLinkWhileTheTraceHookRuns) {
    Open();
    SetupMid(64, 0);
    std::vector<std::thread::id> hookThreads;
    std::vector<CWriter::ETraceDirection> directions;
    std::future<bool> tick;
    writer.SetTraceHook([&](CWriter::ETraceDirection direction, std::span<const uint8_t>) {
        hookThreads.push_back(std::this_thread::get_id());
        directions.push_back(direction);
        if (direction == CWriter::ETraceDirection::Out && directions.size() == 1) {
            link.Unplug();
            tick = std::async(std::launch::async, [&] { return writer.Poll(); });
            EXPECT_EQ(tick.wait_for(std::chrono::seconds(10)), std::future_status::ready)
                << "the close waited for the hook";
        }
    });
    auto worker = std::async(std::launch::async, [&] {
        const bool result = writer.ReadProgram();
        return std::make_pair(result, std::this_thread::get_id());
    });
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "worker hangs";
    const auto [result, workerThread] = worker.get();
    EXPECT_FALSE(result);
    EXPECT_FALSE(tick.get());
    // Only the socket packet went out before the close; its answer follows it.
    EXPECT_EQ(directions, (std::vector{CWriter::ETraceDirection::Out, CWriter::ETraceDirection::In}));
    for (const std::thread::id id : hookThreads) {
        EXPECT_EQ(id, workerThread);
    }
    EXPECT_EQ(link.Closes(), 1);
    EXPECT_EQ(link.Violations(), 0) << link.ViolationLog().front();
}

// ------------------------------------------------------------ stop request

TEST_F(WriterTest, StopRequestEndsTheLoopAndTheExitIsStillSent) {
    Open();
    SetupMid(0x100, 0);
    link.SetWriteHook([&](size_t count) {
        if (count == 4) { // socket, entry, two blocks
            writer.AbortRequest = true;
        }
    });
    ASSERT_TRUE(writer.ReadProgram());
    const PacketList sent = Sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(sent[3].Data.size(), 64u);
    EXPECT_EQ(sent[4].Data, Hex(kExitPacket));
    EXPECT_EQ(writer.GetProgress(), 64);
}

TEST_F(WriterTest, StopRequestIgnoredByRoutinesWithoutALoop) {
    Open();
    SetupMid(16, 16);
    writer.AbortRequest = true;
    writer.ConfigCount = 1;
    ASSERT_TRUE(writer.ReadConfig());
    EXPECT_EQ(Sent().size(), 6u);
    link.ClearRecords();
    ASSERT_TRUE(writer.ReadEeprom());
    EXPECT_TRUE(SamePackets(Sent(), CExpect().Frame({})));
}

} // namespace
