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
        using Ports = std::vector<std::string>;
        const struct {
            std::vector<std::string> Args;
            Action What;
            std::string Folder;
            bool Bench;
            Ports Checked;
        } cases[] = {
            {{}, Action::Run, "", false, {}},
            {{"/srv/firmware"}, Action::Run, "/srv/firmware", false, {}},
            {{"--help"}, Action::Help, "", false, {}},
            {{"-h"}, Action::Help, "", false, {}},
            {{"--version"}, Action::Version, "", false, {}},
            {{"folder", "--help"}, Action::Help, "", false, {}},
            {{"--", "--help"}, Action::Run, "--help", false, {}},  // a folder of that name
            {{"-"}, Action::Run, "-", false, {}},
            {{"--port"}, Action::UsageError, "", false, {}},
            {{"-x", "folder"}, Action::UsageError, "", false, {}},
            {{"one", "two"}, Action::UsageError, "", false, {}},
            {{""}, Action::UsageError, "", false, {}},
            // The bench, its ports repeated, comma-separated and in every spelling.
            {{"--bench"}, Action::Run, "", true, {}},
            {{"--bench", "-p", "COM3,/dev/ttyUSB0", "--port=tcp://bench:3001", "-pcom4", "fw"},
             Action::Run,
             "fw",
             true,
             {"COM3", "/dev/ttyUSB0", "tcp://bench:3001", "com4"}},
            {{"-p", "COM3", "--bench", "--port", "COM5"}, Action::Run, "", true, {"COM3", "COM5"}},
            {{"-p", "COM3"}, Action::UsageError, "", false, {}},  // only for the bench
            {{"--bench", "-p"}, Action::UsageError, "", true, {}},
            {{"--bench", "-p", "COM3,,COM4"}, Action::UsageError, "", true, {}},
            {{"--bench", "-p", "tty0"}, Action::UsageError, "", true, {}},
        };
        for (const auto& c : cases) {
            const ProgramOptions options = ParseProgramOptions(c.Args);
            QByteArray name = QByteArray::number(int(c.Args.size())) + " args:";
            for (const std::string& arg : c.Args)
                name += " '" + QByteArray::fromStdString(arg) + "'";
            QVERIFY2(options.What == c.What, name.constData());
            if (c.What == Action::Run) {
                QCOMPARE(options.Folder, c.Folder);
                QVERIFY2(options.Bench == c.Bench, name.constData());
                QVERIFY2(options.Ports == c.Checked, name.constData());
            }
            QCOMPARE(options.Error.empty(), c.What != Action::UsageError);
        }
        // The help text as help2man reads it.
        const std::string help = ProgramHelpText();
        QVERIFY(help.rfind("Usage: zendrak [FOLDER]\n", 0) == 0);
        for (const char* part :
             {"\n  -h, --help", "\n  -V, --version", "\n  --bench", "\n  -p, --port=PORT",
              "\nEnvironment:\n", "XDG_CONFIG_HOME", "\nFiles:\n", "logUpdate.txt"})
            QVERIFY2(help.find(part) != std::string::npos, part);
        QCOMPARE(ProgramVersionText(), std::string("zendrak 1.1.0\n"));
    }

    void theFirmwareFolder()
    {
        // A path the window and the bench work in; the current directory stays where it was.
        const TestWorkspace workspace;
        workspace.Write("plain-file", "x");
        QDir().mkpath(workspace.Path("firmware folder ä"));
        const QString here = QDir::currentPath();
        std::string error;
        for (const char* bad : {"no-such-folder", "plain-file"}) {
            error.clear();
            QVERIFY(FirmwareFolderPath(workspace.Path(bad).toStdString(), error).empty());
            QVERIFY2(error.find(workspace.Path(bad).toStdString()) != std::string::npos,
                     error.c_str());
        }
        const std::string folder = workspace.Path("firmware folder ä").toLocal8Bit().toStdString();
        QCOMPARE(QString::fromLocal8Bit(FirmwareFolderPath(folder, error)),
                 QDir(workspace.Path("firmware folder ä")).canonicalPath());
        QCOMPARE(QString::fromLocal8Bit(FirmwareFolderPath("firmware folder ä", error)),
                 QDir(workspace.Path("firmware folder ä")).canonicalPath());  // relative
        QCOMPARE(QDir::currentPath(), here);
    }

    void detailsOfARun()
    {
        // The recorder gets the entries on the worker and the log's path at the end.
        RunLogRecorder recorder;
        recorder.LogEntry("from an earlier run");
        recorder.Reset();
        for (const char* entry : {"Loading firmware", "wrong: Die Datei wurde abgewiesen.",
                                  "Datei vollst\xE4ndig \xFC"
                                  "bertragen",
                                  "Terminated"})
            recorder.LogEntry(entry);
        QVERIFY(recorder.WrittenLog().empty());
        recorder.RunEnds(RunOutcome::Error, "/f/logUpdate.txt");
        QCOMPARE(recorder.WrittenLog(), std::string("/f/logUpdate.txt"));
        const std::vector<std::string> entries = recorder.Entries();
        QCOMPARE(entries.size(), size_t(4));

        const std::string details = UpdateErrorDetails(entries, "SHOWN-PATH", true);
        QVERIFY(details.rfind("File refused", 0) == 0);  // the advice first
        QVERIFY(details.find("SHOWN-PATH:\nLoading firmware\nwrong:") != std::string::npos);
        QVERIFY(details.find("\nDatei vollst\xE4ndig \xFC"
                             "bertragen\nTerminated\n") != std::string::npos);

        // A run that wrote no log: whatever its entries say, the line was lost.
        const std::string unwritten = UpdateErrorDetails(entries, "SHOWN-PATH", false);
        QVERIFY(unwritten.rfind("Line lost", 0) == 0);
        QVERIFY(unwritten.find("wrote no log (SHOWN-PATH is unchanged)") != std::string::npos);
        QVERIFY(unwritten.find("Loading firmware") != std::string::npos);  // this run's so far
        QVERIFY(UpdateErrorDetails(entries, "SHOWN-PATH", false, true).find("its server") !=
                std::string::npos);
    }

    void updateErrorBoxOffersTheDetails()
    {
        const std::vector<std::string> entries{"Loading firmware",
                                               "Loading file: /home/tech/firmware/font.app",
                                               "SendRestart",
                                               "Found StartUpControl",
                                               "Datei wird \xFC"
                                               "bertragen....",
                                               "Datei vollst\xE4ndig \xFC"
                                               "bertragen",
                                               "wrong: Die Datei wurde abgewiesen.",
                                               "Receiver starten",
                                               "Terminated"};
        const std::string details =
            UpdateErrorDetails(entries, "/home/tech/firmware/logUpdate.txt", true);
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
