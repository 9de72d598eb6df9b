// SPDX-License-Identifier: MIT
// Driving whole update runs on the test's own thread against a scripted receiver.
#pragma once

#include "EngineTestSupport.h"

#include <string>
#include <vector>

// The expected texts, as their bytes.
namespace Expect {
inline const std::string LoadingFirmware = "Loading firmware";
inline const std::string SendRestart = "SendRestart";
inline const std::string FoundStartUpControl = "Found StartUpControl";
inline const std::string Connected = "Verbindung mit Receiver hergestellt (im Startmen\xFC)";
inline const std::string Sending =
    "Datei wird \xFC"
    "bertragen....";
inline const std::string Sent =
    "Datei vollst\xE4ndig \xFC"
    "bertragen";
inline const std::string Accepted =
    "Datei wurde \xFC"
    "bernommen";
inline const std::string Saving = "Datei wird gespeichert";
inline const std::string Saved = "Speichern beendet";
inline const std::string Fin = "fin: Die Datei wurde geladen.";
inline const std::string Wrong = "wrong: Die Datei wurde abgewiesen.";
inline const std::string AllSent =
    "Alle Dateien wurden \xFC"
    "bertragen";
inline const std::string Starting = "Receiver starten";
inline const std::string Terminated = "Terminated";
inline const std::string ReadError = "Lesefehler auf serieller Schnittstelle ";
inline const std::string Initialisation = "Initialisierung help";
inline const std::string FoundFlash = "found flash";
}  // namespace Expect

inline const std::string FontName = "/fw/font.app";
inline const std::string DecoderName = "/fw/decoder.app";

class UpdateRunTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        Host.OpenPort(Line.SlavePath());
    }

    // Runs one update against `script`; returns what the worker put on the line.
    std::string Run(std::vector<PeerStep> script,
                    std::chrono::milliseconds gap = std::chrono::milliseconds(150),
                    std::chrono::milliseconds waitSavedLimit = std::chrono::minutes(15))
    {
        TestableFirmThread worker(true, Host, waitSavedLimit);
        ScriptedPeer peer(Line, std::move(script), gap);
        worker.RunUpdate();
        EXPECT_TRUE(worker.Terminated());
        EXPECT_EQ(worker.UpdateLog, nullptr);
        EXPECT_EQ(worker.RecvBuffer, nullptr);
        return peer.Stop();
    }

    std::vector<std::string> Log() const { return LogEntries(Dir / "logUpdate.txt"); }

    Pty Line;
    FakeHost Host;
};
