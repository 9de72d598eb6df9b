// SPDX-License-Identifier: MIT
// Whole update runs from the window offscreen, against the receiver simulator on a
// pseudo-terminal: success, failure, a second run, and closing while a run is in progress.
#include "GuiTestSupport.h"
#include "PortSettings.h"
#include "QtMessageService.h"
#include "StartUnit.h"
#include "SystemTexts.h"
#include "TThread.h"
#include "Win1252.h"
#include "comm_port.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

constexpr int RunTimeoutMs = 90000;

}  // namespace

class WindowRunTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestWorkspace> Workspace;
    std::unique_ptr<SnapshotMessageService> Boxes;
    std::unique_ptr<ScopedMessageService> Scope;
    std::unique_ptr<TForm1> Form;
    QStringList StatusTexts;

    void CreateWindow(const std::string& ports, uint8_t portNumber)
    {
        Workspace->WritePortsFile(ports);
        Workspace->Write("Zendrak.dat", std::string(1, char(portNumber)));
        Workspace->WriteFirmwareFiles();
        Form = std::make_unique<TForm1>();
        Form1 = Form.get();
        Form->OnStatusText = [this](const QString& text) { StatusTexts << text; };
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    }
    std::string Link(const char* name) const { return Workspace->Path(name).toStdString(); }
    bool WaitForEnd()
    {
        return WaitUntil(
            [this] {
                return !Form->UpdateRunning &&
                       (Form->StatusText() == "Update OK" || Form->StatusText() == "Update Error");
            },
            RunTimeoutMs);
    }
    // The update log and the simulator's report, for a failure message.
    QString Diagnosis(ReceiverSimulator& receiver)
    {
        return QStringLiteral("log:\n%1\nsimulator:\n%2")
            .arg(QString::fromLatin1(Workspace->Read("logUpdate.txt")), receiver.ErrorOutput());
    }
    void ExpectReceived(const QString& saveDir)
    {
        const char* names[] = {"font.app", "decoder.app", "out.app"};
        for (int i = 0; i < 3; ++i) {
            QFile received(QStringLiteral("%1/file-%2.bin").arg(saveDir).arg(i + 1));
            QVERIFY2(received.open(QIODevice::ReadOnly), qPrintable(received.fileName()));
            QCOMPARE(received.readAll().toStdString(), Workspace->Read(names[i]));
        }
    }

private slots:
    void init()
    {
        ComPortNumber = 1;
        Application().Title = Texts::ApplicationTitle;
        Workspace = std::make_unique<TestWorkspace>();
        Boxes = std::make_unique<SnapshotMessageService>();
        Scope = std::make_unique<ScopedMessageService>(*Boxes);
        StatusTexts.clear();
    }
    void cleanup()
    {
        if (Form)
            WaitUntil([this] { return !Form->UpdateRunning; }, RunTimeoutMs);
        TThread::WaitForAll();
        Form1 = nullptr;
        Form.reset();
        Scope.reset();
        Boxes.reset();
        Workspace.reset();
    }

    void successfulUpdate()
    {
        ReceiverSimulator receiver(Workspace->Path("receiver"),
                                   {"--save", Workspace->Path("received")});
        QVERIFY(receiver.Started());
        CreateWindow("COM5=" + Link("receiver") + "\n", 5);
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM5"));

        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Form->UpdateRunning);
        QVERIFY(!Form->ButtonStart->isEnabled());
        QVERIFY(!Form->CBoxPortName->isEnabled());
        QVERIFY(Form->Help1->isEnabled());  // help stays usable during a run
        QVERIFY(Form->FCommPort && Form->FCommPort->PortOpen);

        QVERIFY2(WaitForEnd(), qPrintable(Diagnosis(receiver)));
        QVERIFY2(Form->StatusText() == "Update OK", qPrintable(Diagnosis(receiver)));
        QVERIFY(Boxes->Boxes.empty());
        QVERIFY(Form->ButtonStart->isEnabled());
        QVERIFY(Form->CBoxPortName->isEnabled());
        QVERIFY(!Form->FCommPort->PortOpen);
        QCOMPARE(Form->ProgressBar1->value(), 0);
        QVERIFY(Form->UpdateSucceeded);
        for (int32_t type = 1; type <= 3; ++type)
            QCOMPARE(Form->GetFileSize(type), 0);  // released
        // The status line showed each file's path as it was taken up, then the outcome.
        const QStringList expected{"", Workspace->Path("font.app"), Workspace->Path("decoder.app"),
                                   Workspace->Path("out.app"), "Update OK"};
        QCOMPARE(StatusTexts, expected);
        QVERIFY(Workspace->Exists("logUpdate.txt"));
        QCOMPARE(receiver.WaitForExit(20000), 0);
        ExpectReceived(Workspace->Path("received"));
    }

    void failedUpdate()
    {
        ReceiverSimulator receiver(Workspace->Path("receiver"), {"--verdict", "wrong"});
        QVERIFY(receiver.Started());
        CreateWindow("COM2=" + Link("receiver") + "\n", 2);
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Form->UpdateRunning);
        QVERIFY2(WaitForEnd(), qPrintable(Diagnosis(receiver)));
        QCOMPARE(Form->StatusText(), QStringLiteral("Update Error"));
        QCOMPARE(Boxes->Texts(), std::vector<std::string>{"Update Error"});
        const ShownBox& box = Boxes->Boxes[0];
        QCOMPARE(box.Request.Caption, std::string("Corvalt"));
        QVERIFY(box.Request.Icon == MsgIcon::Warning);
        QVERIFY(box.OnMainThread);
        QVERIFY(box.StartEnabled);  // the controls are enabled while the box shows
        QVERIFY(box.PortBoxEnabled);
        QVERIFY(!Form->FCommPort->PortOpen);
        QVERIFY(!Form->UpdateSucceeded);
        QCOMPARE(Form->ProgressBar1->value(), 0);
        QVERIFY(Workspace->Exists("logUpdate.txt"));
        // Behind "Show Details...": the cause first, then this run's log, decoded.
        const QString details = FromSystemText(box.Request.Details);
        QVERIFY2(details.startsWith("File refused"), qPrintable(details));
        QVERIFY(details.contains("Reading logUpdate.txt"));
        QVERIFY(details.contains(Workspace->Path("logUpdate.txt")));
        QVERIFY(details.contains(
            QString::fromUtf8("Datei vollständig übertragen\nwrong: Die Datei wurde abgewiesen.")));
        QVERIFY(details.endsWith("Terminated\n"));
    }

    void runWithoutANewLogSaysSo()
    {
        // The receiver vanishes mid-file: the port error ends the run before it writes a log,
        // and the log of an earlier run is not shown as this run's.
        ReceiverSimulator receiver(Workspace->Path("receiver"), {"--vanish-after", "100"});
        QVERIFY(receiver.Started());
        Workspace->Write("logUpdate.txt",
                         "Loading firmware\r\nAlle Dateien wurden \xFC"
                         "bertragen\r\n");
        CreateWindow("COM2=" + Link("receiver") + "\n", 2);
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY2(WaitForEnd(), qPrintable(Diagnosis(receiver)));
        QCOMPARE(Form->StatusText(), QStringLiteral("Update Error"));
        const auto& boxes = Boxes->Boxes;
        QVERIFY(!boxes.empty());
        const std::string details = boxes.back().Request.Details;
        QCOMPARE(boxes.back().Request.Text, std::string("Update Error"));
        QVERIFY2(details.find("wrote no log") != std::string::npos, details.c_str());
        QVERIFY(details.find("Alle Dateien") == std::string::npos);
    }

    void inProgressBoxClosesWhenTheRunEnds()
    {
        ReceiverSimulator receiver(Workspace->Path("receiver"), {"--verdict-delay", "1500"});
        QVERIFY(receiver.Started());
        CreateWindow("COM3=" + Link("receiver") + "\n", 3);
        QtMessageService qtBoxes;
        qtBoxes.Owner = Form.get();
        ScopedMessageService scope(qtBoxes);
        BoxWatcher watcher(RunTimeoutMs);  // closes a box only if it stays open far too long
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Form->UpdateRunning);
        // Returns when the box has closed: by itself, as the run ends.
        QVERIFY(!Form->close());
        QCOMPARE(watcher.Seen.size(), size_t(1));
        QCOMPARE(watcher.Seen[0].Text,
                 QStringLiteral("Update in progress. Please wait until it has finished."));
        QVERIFY(!watcher.Seen[0].ClosedByWatcher);
        QVERIFY(!Form->UpdateRunning);
        QVERIFY2(Form->StatusText() == "Update OK", qPrintable(Diagnosis(receiver)));
        QVERIFY(Form->close());
    }

    void secondRunReusesThePortWithTheNewNumber()
    {
        ReceiverSimulator first(Workspace->Path("first"), {"--save", Workspace->Path("got-1")});
        ReceiverSimulator second(Workspace->Path("second"), {"--save", Workspace->Path("got-2")});
        QVERIFY(first.Started() && second.Started());
        CreateWindow("COM5=" + Link("first") + "\nCOM6=" + Link("second") + "\n", 5);
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY2(WaitForEnd(), qPrintable(Diagnosis(first)));
        QVERIFY2(Form->StatusText() == "Update OK", qPrintable(Diagnosis(first)));
        TCommPort* port = Form->FCommPort.get();
        QCOMPARE(port->PortName, std::string("\\\\.\\COM5"));

        // The user chooses COM6 in the meantime.
        Form->CBoxPortName->setFocus();
        QTest::keyClick(Form->CBoxPortName, Qt::Key_Down);
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM6"));
        QCOMPARE(int(ComPortNumber), 6);

        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Form->UpdateRunning);
        QVERIFY(!Form->UpdateSucceeded);  // cleared for the new run
        QCOMPARE(Form->FCommPort.get(), port);
        QCOMPARE(port->PortName, std::string("\\\\.\\COM6"));
        QVERIFY2(WaitForEnd(), qPrintable(Diagnosis(second)));
        QVERIFY2(Form->StatusText() == "Update OK", qPrintable(Diagnosis(second)));
        QVERIFY(Boxes->Boxes.empty());
        QCOMPARE(second.WaitForExit(20000), 0);
        ExpectReceived(Workspace->Path("got-1"));
        ExpectReceived(Workspace->Path("got-2"));
    }

    void closingDuringARunIsRefused()
    {
        ReceiverSimulator receiver(Workspace->Path("receiver"), {"--verdict-delay", "1500"});
        QVERIFY(receiver.Started());
        CreateWindow("COM3=" + Link("receiver") + "\n", 3);
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Form->UpdateRunning);
        QVERIFY(!Form->close());
        QVERIFY(Form->isVisible());
        QCOMPARE(Boxes->Texts(), std::vector<std::string>{
                                     "Update in progress. Please wait until it has finished."});
        QCOMPARE(Boxes->Boxes[0].Request.Caption, std::string("Corvalt"));
        QVERIFY(Boxes->Boxes[0].Request.Icon == MsgIcon::Warning);
        QVERIFY2(WaitForEnd(), qPrintable(Diagnosis(receiver)));
        QVERIFY2(Form->StatusText() == "Update OK", qPrintable(Diagnosis(receiver)));  // unharmed
        QVERIFY(Form->close());
        QCOMPARE(Boxes->Boxes.size(), size_t(1));
    }
};

QTEST_MAIN(WindowRunTest)
#include "WindowRunTest.moc"
