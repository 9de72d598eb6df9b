// SPDX-License-Identifier: MIT
// The window program's parts without a window: its command line, the firmware folder, and the
// details of "Update Error" (the likely cause of a failed run and the log it shows).
#include "GuiTestSupport.h"
#include "ProgramOptions.h"
#include "QtMessageService.h"
#include "SystemTexts.h"
#include "UpdateErrorDetails.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using Action = ProgramOptions::Action;

class WindowPartsTest : public QObject {
    Q_OBJECT

private slots:
    void commandLine()
    {
        const struct {
            std::vector<std::string> Args;
            Action What;
            std::string Folder;
        } cases[] = {
            {{}, Action::Run, ""},
            {{"/srv/firmware"}, Action::Run, "/srv/firmware"},
            {{"--help"}, Action::Help, ""},
            {{"-h"}, Action::Help, ""},
            {{"--version"}, Action::Version, ""},
            {{"folder", "--help"}, Action::Help, ""},
            {{"--", "--help"}, Action::Run, "--help"},  // a folder of that name
            {{"-"}, Action::Run, "-"},
            {{"--port"}, Action::UsageError, ""},
            {{"-x", "folder"}, Action::UsageError, ""},
            {{"one", "two"}, Action::UsageError, ""},
            {{""}, Action::UsageError, ""},
        };
        for (const auto& c : cases) {
            const ProgramOptions options = ParseProgramOptions(c.Args);
            const QByteArray name = QByteArray::number(int(c.Args.size())) + " args, first: " +
                                    (c.Args.empty() ? "" : c.Args[0].c_str());
            QVERIFY2(options.What == c.What, name.constData());
            if (c.What == Action::Run)
                QCOMPARE(options.Folder, c.Folder);
            QCOMPARE(options.Error.empty(), c.What != Action::UsageError);
        }
        // The help text as help2man reads it.
        const std::string help = ProgramHelpText();
        QVERIFY(help.rfind("Usage: zendrak [FOLDER]\n", 0) == 0);
        for (const char* part : {"\n  -h, --help", "\n  -V, --version", "\nEnvironment:\n",
                                 "XDG_CONFIG_HOME", "\nFiles:\n", "logUpdate.txt"})
            QVERIFY2(help.find(part) != std::string::npos, part);
        QCOMPARE(ProgramVersionText(), std::string("zendrak 1.1.0\n"));
    }

    void enteringTheFirmwareFolder()
    {
        const TestWorkspace workspace;
        workspace.Write("plain-file", "x");
        QDir().mkpath(workspace.Path("firmware folder ä"));
        std::string error;
        for (const char* bad : {"no-such-folder", "plain-file"}) {
            error.clear();
            QVERIFY(!EnterFolder(workspace.Path(bad).toStdString(), error));
            QVERIFY2(error.find(workspace.Path(bad).toStdString()) != std::string::npos,
                     error.c_str());
            QCOMPARE(QDir::currentPath(), QDir(workspace.Path(".")).canonicalPath());
        }
        const std::string folder = workspace.Path("firmware folder ä").toLocal8Bit().toStdString();
        QVERIFY(EnterFolder(folder, error));
        QCOMPARE(QDir::currentPath(), QDir(workspace.Path("firmware folder ä")).canonicalPath());
    }

    void likelyCauseOfAFailedRun()
    {
        const std::string saving = Texts::StatusSaving;
        const std::string saved = Texts::StatusSaved;
        const std::string end = Texts::LogTerminated;
        const std::string next = "Next file: /x/out.app";
        const struct {
            const char* Name;
            std::vector<std::string> Entries;
            RunFailure Cause;
        } cases[] = {
            {"no log", {}, RunFailure::LineLost},
            {"silence", {"Bitte warten... 16", Texts::StatusNoConnection, end},
             RunFailure::NoConnection},
            {"garbage while connecting", {"SendRestart", Texts::LogConnectReadStuffLimit, end},
             RunFailure::NoConnection},
            {"refused", {Texts::StatusFileSent, Texts::StatusWrong, end}, RunFailure::FileRefused},
            {"silent verdict", {Texts::StatusFileSent, "ST_WAITRESULT readNothing 60", end},
             RunFailure::LineLost},
            {"send failed", {Texts::StatusSendingFile4, Texts::LogSendDataToPortError, end},
             RunFailure::LineLost},
            {"never stored", {saving, "ST_WAITSAVED readNothing 60", Texts::StatusReadError, end},
             RunFailure::NothingStored},
            {"first stored, second not", {saving, saved, next, saving, end},
             RunFailure::NothingStored},
            {"stored, then garbage", {saving, saved, next, "readStuff > 60", end},
             RunFailure::LineLost},
        };
        for (const auto& c : cases) {
            QVERIFY2(LikelyRunFailure(c.Entries) == c.Cause, c.Name);
            QVERIFY(RunFailureAdvice(c.Cause).find("Reading logUpdate.txt") != std::string::npos);
        }
    }

    void detailsShowThisRunsLogOnly()
    {
        const TestWorkspace workspace;
        const std::string log = workspace.Path("logUpdate.txt").toStdString();
        const FileStamp none = FileStamp::Of(log);
        QVERIFY(!none.Exists);
        // Windows-1252 bytes, CR LF lines, as the run writes them.
        workspace.Write("logUpdate.txt",
                        "Loading firmware\r\nwrong: Die Datei wurde abgewiesen.\r\n"
                        "Datei vollst\xE4ndig \xFC" "bertragen\r\nTerminated\r\n");
        const FileStamp written = FileStamp::Of(log);
        QVERIFY(written.Exists && !(written == none));
        QVERIFY(FileStamp::Of(log) == written);
        QCOMPARE(ReadLogEntries(log).size(), size_t(4));
        QCOMPARE(ReadLogEntries(log)[2], std::string("Datei vollst\xE4ndig \xFC" "bertragen"));

        const std::string details = UpdateErrorDetails(log, "SHOWN-PATH", true);
        QVERIFY(details.rfind("File refused", 0) == 0);  // the advice first
        QVERIFY(details.find("SHOWN-PATH:\nLoading firmware\nwrong:") != std::string::npos);
        QVERIFY(details.find("\r") == std::string::npos);

        const std::string stale = UpdateErrorDetails(log, "SHOWN-PATH", false);
        QVERIFY(stale.rfind("Line lost", 0) == 0);
        QVERIFY(stale.find("wrote no log (SHOWN-PATH)") != std::string::npos);
        QVERIFY(stale.find("Loading firmware") == std::string::npos);  // not an earlier run's
    }

    void updateErrorBoxOffersTheDetails()
    {
        const TestWorkspace workspace;
        workspace.Write("logUpdate.txt",
                        "Loading firmware\r\nLoading file: /home/tech/firmware/font.app\r\n"
                        "SendRestart\r\nFound StartUpControl\r\n"
                        "Datei wird \xFC" "bertragen....\r\n"
                        "Datei vollst\xE4ndig \xFC" "bertragen\r\n"
                        "wrong: Die Datei wurde abgewiesen.\r\n"
                        "Receiver starten\r\nTerminated\r\n");
        const std::string details =
            UpdateErrorDetails("logUpdate.txt", "/home/tech/firmware/logUpdate.txt", true);
        QtMessageService qtBoxes;
        ScopedMessageService scope(qtBoxes);
        QString text, caption, shownDetails, button;
        bool warningIcon = false;
        QTimer::singleShot(50, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (!box || !box->isVisible())
                    continue;
                text = box->text();
                caption = box->windowTitle();
                warningIcon = box->icon() == QMessageBox::Warning;
                for (QAbstractButton* b : box->buttons())
                    if (box->buttonRole(b) == QMessageBox::ActionRole)
                        button = b->text(), b->click();  // opens the details
                QTest::qWait(200);
                if (auto* edit = box->findChild<QTextEdit*>())
                    shownDetails = edit->toPlainText();
                QDir().mkpath(ZENDRAK_TEST_ARTIFACT_DIR);
                box->grab().save(
                    QStringLiteral(ZENDRAK_TEST_ARTIFACT_DIR "/update-error-details.png"));
                box->accept();
            }
        });
        MessageBox(Texts::UpdateError, Texts::BoxCaption, MsgIcon::Warning, details);
        QCOMPARE(text, QStringLiteral("Update Error"));
        QCOMPARE(caption, QStringLiteral("Corvalt"));
        QVERIFY(warningIcon);
        QVERIFY(button.startsWith("Show Details"));
        QVERIFY2(shownDetails.contains(QString::fromUtf8("Datei vollständig übertragen")),
                 qPrintable(shownDetails));
        QVERIFY(shownDetails.startsWith("File refused"));
    }
};

QTEST_MAIN(WindowPartsTest)
#include "WindowPartsTest.moc"
