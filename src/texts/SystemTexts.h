// SPDX-License-Identifier: MIT
// The system's own texts: what it sends, looks for, logs and shows, as Windows-1252 bytes.
// They are kept here, in one place, and their bytes are proven in tests/texts. Umlauts are
// written as hex escapes, split from a following hex digit ("\xFC" "bertragen").
#pragma once

namespace Texts {

// Commands to the receiver (each goes out followed by CR LF).
inline constexpr char CmdRestart = 'r';
inline constexpr char CmdLoad = 'l';
inline constexpr char CmdStart = 's';

// What the receiver prints, looked for in its console output.
inline constexpr const char* MarkerStartUpControl = "Q9X-SUC";
inline constexpr const char* MarkerStartMenu = "LOAD  APP";  // two blanks
inline constexpr const char* MarkerBinaryMode = "Send file in binary mode";
inline constexpr const char* MarkerDefaultChannelList = "Default ChannelList";
inline constexpr const char* MarkerExitToMainMenu = "100 Exit to Main Menu";
inline constexpr const char* MarkerFlash = "lash";
inline constexpr const char* MarkerError = "error";
inline constexpr const char* MarkerWriteSector = "Write Sector";
inline constexpr const char* MarkerFileOk = "File OK!";
inline constexpr const char* MarkerFin = "fin";
inline constexpr const char* MarkerWrong = "wrong";
inline constexpr const char* MarkerSaved = "ptImage->UnzipedCrc";

// Update log entries and status texts of the run.
inline constexpr const char* LogLoadingFirmware = "Loading firmware";
inline constexpr const char* LogLoadingFile = "Loading file: ";
inline constexpr const char* LogSendRestart = "SendRestart";
inline constexpr const char* StatusInitialisation = "Initialisierung";
inline constexpr const char* LogHelpSuffix = " help";
inline constexpr const char* LogFoundStartUpControl = "Found StartUpControl";
inline constexpr const char* StatusConnected = "Verbindung mit Receiver hergestellt";
inline constexpr const char* LogInStartMenuSuffix = " (im Startmen\xFC)";
inline constexpr const char* LogSendFile = "Send file";
inline constexpr const char* StatusSendingFile3 =
    "Datei wird \xFC"
    "bertragen...";
inline constexpr const char* LogDefaultChannelList = "Init Default Channellist -> restart now";
inline constexpr const char* LogExitToMainMenu = "send 100 to Exit to Main Menu";
inline constexpr const char* LogFoundFlash = "found flash";
inline constexpr const char* StatusPleaseWait = "Bitte warten...";
inline constexpr const char* LogReadStuffTry100 = "readStuff == 59, try 100";
inline constexpr const char* LogConnectReadStuffLimit = "readstuff > 60";
inline constexpr const char* LogTry100Again = "Try 100 again ";
inline constexpr const char* StatusTryingToConnect = "Versuche Verbindung herzustellen";
inline constexpr const char* StatusNoConnection = "Keine Verbindung zum Receiver: ";
inline constexpr const char* StatusSendingFile4 =
    "Datei wird \xFC"
    "bertragen....";
inline constexpr const char* StatusFileSent =
    "Datei vollst\xE4ndig \xFC"
    "bertragen";
inline constexpr const char* LogSendDataToPortError = "SendDataToPort error";
inline constexpr const char* StatusReadError = "Lesefehler auf serieller Schnittstelle ";
inline constexpr const char* StatusSaving = "Datei wird gespeichert";
inline constexpr const char* StatusFileAccepted =
    "Datei wurde \xFC"
    "bernommen";
inline constexpr const char* StatusFin = "fin: Die Datei wurde geladen.";
inline constexpr const char* StatusWrong = "wrong: Die Datei wurde abgewiesen.";
inline constexpr const char* LogTransferReadStuffLimit = "readStuff > 60";
inline constexpr const char* LogWaitResultReadNothing = "ST_WAITRESULT readNothing ";
inline constexpr const char* StatusSaved = "Speichern beendet";
inline constexpr const char* LogWaitSavedReadNothing = "ST_WAITSAVED readNothing ";
inline constexpr const char* LogNextFile = "Next file: ";
inline constexpr const char* StatusAllFilesSent =
    "Alle Dateien wurden \xFC"
    "bertragen";
inline constexpr const char* StatusStartingReceiver = "Receiver starten";
inline constexpr const char* LogTerminated = "Terminated";
inline constexpr const char* LogUpdateCancelled = "Update cancelled by the user";

// Files, all by bare name in the current directory (firmware names carry their separator).
inline constexpr const char* UpdateLogFileName = "logUpdate.txt";
inline constexpr const char* SettingsFileName = "Zendrak.dat";
inline constexpr const char* FirmFileFont = "/font.app";
inline constexpr const char* FirmFileDecoder = "/decoder.app";
inline constexpr const char* FirmFileOut = "/out.app";
inline constexpr const char* HelpFileName = "zendrakhelp.chm";

// Serial port.
inline constexpr const char* DefaultPortName = "COM1";
inline constexpr const char* PortNamePrefix = "\\\\.\\COM";  // \\.\COM
inline constexpr const char* ComErrorBoxText = "COM Error";
inline constexpr const char* ComErrorBoxCaption = "error";
inline constexpr const char* ErrorOpenCom = "Error open, COM ";
inline constexpr const char* ErrorReadCom = "Error read, COM ";
inline constexpr const char* ErrorCom = "Error COM";
inline constexpr const char* CommErrorDialog = "Comm Error: ";

// Messages of the window and the settings file.
inline constexpr const char* BoxCaption = "Corvalt";
inline constexpr const char* ErrorOpenSettings = "Error open Zendrak.dat !!!";
inline constexpr const char* NoComPort = "NO COM PORT";
inline constexpr const char* SettingsNotSaved = "Einstellung kann nicht gepeichert werden";
inline constexpr const char* UpdateOk = "Update OK";
inline constexpr const char* UpdateError = "Update Error";
inline constexpr const char* UpdateInProgress =
    "Update in progress. Please wait until it has finished.";
inline constexpr const char* AnotherUpdateRunning = "Another update is running in this folder.";
inline constexpr const char* TryAgain = "Try again";

// The toolkit's own error texts.
inline constexpr const char* RangeErrorText =
    "Fehler bei Bereichspr\xFC"
    "fung";
inline constexpr const char* ConvertErrorFormat = "'%s' ist kein g\xFCltiger Integerwert";

// The window and the application.
inline constexpr const char* ApplicationTitle = "Zendrak";
inline constexpr const char* WindowCaption = "Zendrak v1.1";
inline constexpr const char* ButtonStartCaption = "Start Update";
inline constexpr const char* LabelSendCaption = "COM-Port";
inline constexpr const char* PortBoxInitialText = "COM";
inline constexpr const char* HelpMenuCaption = "Help";

}  // namespace Texts
