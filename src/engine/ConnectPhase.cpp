// SPDX-License-Identifier: MIT
// The connect phase: restart the receiver and read its console until it is in its loader.
#include "FirmThread.h"

#include "SystemTexts.h"

#include <string>

void TFirmThread::PassConnect()
{
    switch (Step) {
    case ST_SENDRESTART:
        SendCommand(Texts::CmdRestart);
        Log(Texts::LogSendRestart);
        Step = ST_WAITREPLY;
        break;
    case ST_SENDLOAD:
        Pause(100);
        SendCommand(Texts::CmdLoad);
        Status(Texts::StatusInitialisation);
        Log(StatusText + Texts::LogHelpSuffix);
        Step = ST_WAITREPLY;
        break;
    case ST_WAITREPLY: PassWaitReply(); break;
    default: break;
    }
}

// One read, then exactly one reaction to it, then the silence limits.
void TFirmThread::PassWaitReply()
{
    if (ReadReceiver() > 0) {
        readNothing = 0;
        // Markers in a fixed order: the first one present wins wherever it stands.
        if (RecvContains(Texts::MarkerStartUpControl)) {
            readStuff = 0;
            flashCount = 0;
            ClearRecvBuffer();
            Log(Texts::LogFoundStartUpControl);
            Phase = PH_TRANSFER;
            Step = ST_SENDLOAD;
        } else if (RecvContains(Texts::MarkerStartMenu)) {
            readStuff = 0;
            flashCount = 0;
            ClearRecvBuffer();
            Status(Texts::StatusConnected);
            Log(StatusText + Texts::LogInStartMenuSuffix);
            Pause(100);
            Phase = PH_TRANSFER;
            Step = ST_SENDLOAD;
        } else if (RecvContains(Texts::MarkerBinaryMode)) {
            // The loader already waits for the file: no further "l".
            readStuff = 0;
            flashCount = 0;
            ClearRecvBuffer();
            Log(Texts::LogSendFile);
            Status(Texts::StatusSendingFile3);
            Phase = PH_TRANSFER;
            Step = ST_SENDFILE;
        } else if (RecvContains(Texts::MarkerDefaultChannelList)) {
            readStuff = 0;
            flashCount = 0;
            ClearRecvBuffer();
            Log(Texts::LogDefaultChannelList);
            Step = ST_SENDRESTART;
        } else if (RecvContains(Texts::MarkerExitToMainMenu)) {
            readStuff = 0;
            flashCount = 0;
            ClearRecvBuffer();
            Log(Texts::LogExitToMainMenu);
            Step = ST_SENDLOAD;
        } else if (RecvContains(Texts::MarkerFlash)) {
            // Leaves readStuff alone. A receiver that answers every "l" this way would hold the
            // run here for ever: the FlashLimit-th "found flash" entry in a row is logged, then
            // the run ends as too much unrecognised output does, without the start command.
            ClearRecvBuffer();
            Log(Texts::LogFoundFlash);
            Step = ST_SENDLOAD;
            if (++flashCount >= FlashLimit) {
                Log(Texts::LogConnectReadStuffLimit);
                Phase = PH_END;
            }
        } else {
            ++readStuff;
            Status(Texts::StatusPleaseWait);
            if (readStuff == 60) {
                ClearRecvBuffer();
                Log(Texts::LogReadStuffTry100);
                Step = ST_SENDLOAD;
            }
            if (readStuff > 60) {
                Log(Texts::LogConnectReadStuffLimit);
                Phase = PH_END;
            }
        }
    } else {
        // readStuff is left as it is, so every later silent read asks again.
        if (readStuff > 0) {
            ClearRecvBuffer();
            Log(Texts::LogTry100Again + std::to_string(readStuff));
            Step = ST_SENDLOAD;
        }
        ++readNothing;
        Status(Texts::StatusPleaseWait);
        Log(StatusText + " " + std::to_string(readNothing));
    }

    if (readNothing == 14) {
        readNothing = 15;
        if (RecvContains(Texts::MarkerError)) {
            ClearRecvBuffer();
            StatusAndLog(Texts::StatusTryingToConnect);
            Step = ST_SENDLOAD;
            Pause(100);
        }
    }
    if (readNothing > 15) {
        StatusAndLog(Texts::StatusNoConnection);
        Pause(100);
        Phase = PH_RESTART;
    }
}
