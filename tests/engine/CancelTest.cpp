// SPDX-License-Identifier: MIT
// A run asked to stop: it stops between two 10-byte blocks or in a pause, sends nothing more,
// logs the cancel before "Terminated" and does not count as a success.
#include "RunTestSupport.h"

namespace {

const std::vector<uint8_t> File = PlainBytes(1000, 7);
const std::string F = AsText(File);
const std::string Cancelled = "Update cancelled by the user";

// Asks its worker to stop when the run shows a given progress value or status text.
class CancellingHost : public FakeHost {
public:
    void SetProgressPosition(int position) override
    {
        FakeHost::SetProgressPosition(position);
        if (position == AtProgress)
            Cancel();
    }
    void ShowStatusText(const std::string& statusText) override
    {
        FakeHost::ShowStatusText(statusText);
        if (statusText == AtStatus)
            Cancel();
    }
    void Cancel()
    {
        CancelledAt = std::chrono::steady_clock::now();
        Worker->RequestCancel();
    }

    TFirmThread* Worker = nullptr;
    int AtProgress = -1;
    std::string AtStatus;
    std::chrono::steady_clock::time_point CancelledAt;
};

struct CancelCase {
    const char* Name;
    int AtProgress;
    std::string AtStatus;
    std::vector<PeerStep> Script;
    std::string Line;              // what the worker sent
    std::vector<std::string> Log;  // after "Loading file: "
    // The cancel came after every file was stored and the start command sent: it changes
    // nothing, the last pause included.
    bool TooLate = false;
};

void PrintTo(const CancelCase& c, std::ostream* os)
{
    *os << c.Name;
}

class Cancel : public EngineTest, public testing::WithParamInterface<CancelCase> {};

TEST_P(Cancel, StopsAtASafePointAndLogsIt)
{
    using namespace Expect;
    const CancelCase& c = GetParam();
    Pty line;
    CancellingHost host;
    host.Files = {{FontName, File}};
    host.OpenPort(line.SlavePath());
    host.AtProgress = c.AtProgress;
    host.AtStatus = c.AtStatus;
    TestableFirmThread worker(true, host);
    host.Worker = &worker;
    ScriptedPeer peer(line, c.Script);
    worker.RunUpdate();
    const auto ended = std::chrono::steady_clock::now();

    EXPECT_EQ(worker.Cancelled(), !c.TooLate);
    EXPECT_EQ(worker.CancelCameTooLate(), c.TooLate);
    EXPECT_EQ(host.Succeeded(), c.TooLate);
    EXPECT_EQ(peer.Stop(), c.Line);
    std::vector<std::string> log = {LoadingFirmware, "Loading file: " + FontName};
    log.insert(log.end(), c.Log.begin(), c.Log.end());
    EXPECT_EQ(LogEntries(Dir / "logUpdate.txt"), log);
    if (c.TooLate) {
        // The receiver is starting: the pause after the start command lasts as asked.
        EXPECT_GE(ended - host.CancelledAt, std::chrono::milliseconds(4000));
    } else {
        // No pause ran out after the request (the last one lasts 5000 ms).
        EXPECT_LT(ended - host.CancelledAt, std::chrono::milliseconds(4000));
    }
}

std::vector<CancelCase> Cases()
{
    using namespace Expect;
    const std::vector<PeerStep> toTheEnd = {
        {"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, {F, {"fin\r\n"}}, {"s\r\n", {}}};
    return {
        // 40 is shown after the block that ends at byte 450 (450 * 90 / 1000).
        {"MidFileAfterTheBlockInHand",
         40,
         {},
         {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}},
         "r\r\nl\r\n" + F.substr(0, 450),
         {SendRestart, FoundStartUpControl, Sending, Cancelled, Terminated}},
        // After the success flag was set, before the start command.
        {"BeforeTheStartCommand",
         -1,
         AllSent,
         toTheEnd,
         "r\r\nl\r\n" + F,
         {SendRestart, FoundStartUpControl, Sending, Sent, Fin, AllSent, Cancelled, Terminated}},
        {"InThePauseAfterTheStartCommand",
         -1,
         Starting,
         toTheEnd,
         "r\r\nl\r\n" + F + "s\r\n",
         {SendRestart, FoundStartUpControl, Sending, Sent, Fin, AllSent, Starting, Terminated},
         true},
        // A refused file: the start command does not make the run a success, and a cancel in
        // the pause after it still stops the run.
        {"InThePauseAfterTheStartCommandOfARefusedFile",
         -1,
         Starting,
         {{"r\r\n", {"Q9X-SUC\r\n"}}, {"l\r\n", {}}, {F, {"wrong\r\n"}}, {"s\r\n", {}}},
         "r\r\nl\r\n" + F + "s\r\n",
         {SendRestart, FoundStartUpControl, Sending, Sent, Wrong, Starting, Cancelled, Terminated}},
    };
}

INSTANTIATE_TEST_SUITE_P(Runs, Cancel, testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
