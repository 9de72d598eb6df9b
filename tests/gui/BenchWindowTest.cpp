// SPDX-License-Identifier: MIT
// The bench offscreen against receiver simulators on pseudo-terminals: three receivers at once,
// one of which refuses a file. Each port's log as the command line writes it, what each
// receiver got, the rows, the summary and the details, and closing refused during the run. And
// one row looping over two receivers, with the record the command line keeps.
#include "BenchLineControls.h"
#include "BenchTable.h"
#include "BenchWindow.h"
#include "GuiTestSupport.h"
#include "Scenario.h"
#include "SimDriver.h"
#include "SystemTexts.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>

namespace {

constexpr int RunTimeoutMs = 120000;

}  // namespace

class BenchWindowTest : public QObject {
    Q_OBJECT

private slots:
    void threeReceiversOneRefuses()
    {
        TestWorkspace workspace;
        SnapshotMessageService boxes;
        ScopedMessageService scope(boxes);
        const std::string font = SampleFirmware(3000, 91);
        const std::string out = SampleFirmware(2000, 92);
        workspace.Write("font.app", font);
        workspace.Write("out.app", out);
        std::vector<std::unique_ptr<ReceiverSimulator>> receivers;
        std::string map;
        for (int n = 1; n <= 3; ++n) {
            const QString n_ = QString::number(n);
            QStringList options{"--save", workspace.Path("saved" + n_), "--expect", "3000,2000"};
            if (n == 2)
                options << "--verdict"
                        << "wrong";
            receivers.push_back(
                std::make_unique<ReceiverSimulator>(workspace.Path("ttyRX" + n_), options));
            QVERIFY(receivers.back()->Started());
            map +=
                "COM" + n_.toStdString() + "=" + workspace.Path("ttyRX" + n_).toStdString() + "\n";
        }
        workspace.WritePortsFile(map + "COM4=" + workspace.Path("absent").toStdString() + "\n");

        const std::string folder = QDir::currentPath().toStdString();
        BenchWindow bench(folder, {"COM1", "com2", "COM3", "COM4"});
        QStringList summaries;
        bench.OnSummary = [&](const QString& text) { summaries << text; };
        bench.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bench));
        QCOMPARE(bench.focusWidget(), static_cast<QWidget*>(bench.StartButton));
        BenchTableModel& rows = bench.Rows();
        QCOMPARE(rows.rowCount(), 4);
        QCOMPARE(rows.StartableRows(), (std::vector<int>{0, 1, 2}));  // COM4 is absent

        QTest::mouseClick(bench.StartButton, Qt::LeftButton);
        QVERIFY(bench.RunActive());
        QVERIFY(!bench.StartButton->isEnabled());
        QVERIFY(!bench.close());  // refused while the receivers are updated
        QCOMPARE(boxes.Texts(), std::vector<std::string>{Texts::UpdateInProgress});
        // The refusal ends its row while the others still send: the bench's picture of it.
        QVERIFY(WaitUntil([&] { return rows.RowAt(1).LastEnd().has_value(); }, RunTimeoutMs));
        if (rows.RowAt(0).Active()) {
            QDir().mkpath(ZENDRAK_TEST_ARTIFACT_DIR);
            bench.grab().save(QStringLiteral(ZENDRAK_TEST_ARTIFACT_DIR "/bench-mid-run.png"));
        }
        QVERIFY(WaitUntil([&] { return !bench.RunActive(); }, RunTimeoutMs));

        // Each port's log in its own folder, byte for byte as the command line writes it.
        const std::string stored = ExpectedLog()
                                       .Start(workspace.Path("font.app").toStdString())
                                       .Add(Texts::LogSendRestart)
                                       .Add(Texts::LogFoundStartUpControl)
                                       .StoredFile()
                                       .NextFile(workspace.Path("out.app").toStdString())
                                       .StoredFile()
                                       .Succeeded()
                                       .Bytes();
        const std::string refused = ExpectedLog()
                                        .Start(workspace.Path("font.app").toStdString())
                                        .Add(Texts::LogSendRestart)
                                        .Add(Texts::LogFoundStartUpControl)
                                        .Add(Texts::StatusSendingFile4)
                                        .Add(Texts::StatusFileSent)
                                        .Add(Texts::StatusWrong)
                                        .Restarted()
                                        .Bytes();
        for (int n = 1; n <= 3; ++n) {
            const std::string log = workspace.Read(QStringLiteral("COM%1/logUpdate.txt").arg(n));
            QVERIFY2(log == (n == 2 ? refused : stored), ShowLog(log).c_str());
            QCOMPARE(receivers[size_t(n - 1)]->WaitForExit(20000), 0);
        }
        QVERIFY(!workspace.Exists("logUpdate.txt"));
        QVERIFY(!workspace.Exists("COM4"));
        for (int n : {1, 3}) {
            QCOMPARE(workspace.Read(QStringLiteral("saved%1/file-1.bin").arg(n)), font);
            QCOMPARE(workspace.Read(QStringLiteral("saved%1/file-2.bin").arg(n)), out);
        }

        // The rows, the summary and the refused row's details.
        QCOMPARE(rows.data(rows.index(0, BenchTableModel::Outcome)).toString(),
                 QStringLiteral("Update OK"));
        QCOMPARE(rows.data(rows.index(1, BenchTableModel::Outcome)).toString(),
                 QStringLiteral("Update Error: refused"));
        QCOMPARE(rows.data(rows.index(3, BenchTableModel::Outcome)).toString(), QString());
        QCOMPARE(summaries, (QStringList{"Updating 3 receivers...", "2 OK, 1 Update Error"}));
        QCOMPARE(bench.SummaryLabel->text(), QStringLiteral("2 OK, 1 Update Error"));
        boxes.Boxes.clear();
        bench.ShowDetails(1);
        QCOMPARE(boxes.Boxes.size(), size_t(1));
        QCOMPARE(boxes.Boxes[0].Request.Text, std::string("COM2: Update Error: refused"));
        const std::string& details = boxes.Boxes[0].Request.Details;
        QVERIFY2(details.rfind("File refused", 0) == 0, details.c_str());  // the advice first
        QVERIFY2(details.find("Log: " + folder + "/COM2/logUpdate.txt\n") != std::string::npos,
                 details.c_str());
        QVERIFY2(details.find(std::string(Texts::StatusWrong) + "\n") != std::string::npos,
                 details.c_str());
        QVERIFY(bench.StartButton->isEnabled());
        QVERIFY(bench.close());
    }

    void oneRowLoopsOverTwoReceivers()
    {
        TestWorkspace workspace;
        SnapshotMessageService boxes;
        ScopedMessageService scope(boxes);
        const std::string font = SampleFirmware(3000, 93);
        workspace.Write("font.app", font);
        // The second receiver is switched on a while after the first is done.
        ReceiverSimulator receiver(workspace.Path("ttyRX"),
                                   {"--save", workspace.Path("saved"), "--expect", "3000,3000",
                                    "--runs", "2", "--next-receiver", "8000"});
        QVERIFY(receiver.Started());
        workspace.WritePortsFile("COM1=" + workspace.Path("ttyRX").toStdString() + "\n");

        const std::string folder = QDir::currentPath().toStdString();
        BenchWindow bench(folder, {"COM1"});
        bench.LoopQuiet = std::chrono::milliseconds(1000);
        QStringList summaries;
        bench.OnSummary = [&](const QString& text) { summaries << text; };
        bench.Line->LoopBox->setChecked(true);
        QVERIFY(bench.Line->RecordBox->isChecked());  // the loop always keeps the record
        QVERIFY(!bench.Line->RecordBox->isEnabled());
        bench.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bench));
        BenchTableModel& rows = bench.Rows();
        bench.Table->setCurrentIndex(bench.Table->model()->index(0, BenchTableModel::Port));
        QTest::mouseClick(bench.StartButton, Qt::LeftButton);
        QVERIFY(!bench.Line->LoopBox->isEnabled());

        const QString waitingAfterTwo =
            QStringLiteral("waiting for the next receiver (2 updated, 0 failed)");
        const auto status = [&] {
            return rows.data(rows.index(0, BenchTableModel::Status)).toString();
        };
        QVERIFY2(WaitUntil([&] { return status() == waitingAfterTwo; }, RunTimeoutMs),
                 qPrintable(status()));
        QVERIFY(bench.Line->NextReceiverButton->isEnabled());
        QDir().mkpath(ZENDRAK_TEST_ARTIFACT_DIR);
        bench.grab().save(QStringLiteral(ZENDRAK_TEST_ARTIFACT_DIR "/bench-looping.png"));
        // A close while the row only waits ends the line, and the bench shows its summary;
        // asked for by a signal, the bench then closes.
        QVERIFY(!bench.close());
        QVERIFY(WaitUntil([&] { return !bench.RunActive(); }, RunTimeoutMs));
        QVERIFY(bench.isVisible());
        QVERIFY(boxes.Texts().empty());
        QCOMPARE(summaries, (QStringList{"Updating one receiver after another on 1 port...",
                                         "Production line: 2 receivers, 2 updated, 0 failed"}));
        QCOMPARE(receiver.WaitForExit(20000), 0);

        // Both receivers got the file; the log is the last run's, as a single update writes it;
        // a line for each in the record, each log kept.
        QCOMPARE(workspace.Read("saved/file-1.bin"), font);
        QCOMPARE(workspace.Read("saved/file-2.bin"), font);
        const std::string log = workspace.Read("logUpdate.txt");
        const std::string expected = ExpectedLog()
                                         .Start(workspace.Path("font.app").toStdString())
                                         .Add(Texts::LogSendRestart)
                                         .Add(Texts::LogFoundStartUpControl)
                                         .StoredFile()
                                         .Succeeded()
                                         .Bytes();
        QVERIFY2(log == expected, ShowLog(log).c_str());
        const QStringList records =
            QString::fromStdString(workspace.Read("zendrak-history.csv")).split('\n');
        QCOMPARE(records.filter(QStringLiteral(",COM1,")).size(), 2);
        QCOMPARE(QDir(workspace.Path("logs")).entryList(QDir::Files).size(), 2);
        QVERIFY(bench.close());
    }

    // A signal while the row only waits ends the line as a close does, and then the bench.
    void aSignalWhileTheRowWaitsClosesTheBench()
    {
        TestWorkspace workspace;
        SnapshotMessageService boxes;
        ScopedMessageService scope(boxes);
        workspace.Write("font.app", SampleFirmware(1000, 94));
        ReceiverSimulator receiver(workspace.Path("ttyRX"), {"--expect", "1000"});
        QVERIFY(receiver.Started());
        workspace.WritePortsFile("COM1=" + workspace.Path("ttyRX").toStdString() + "\n");
        BenchWindow bench(QDir::currentPath().toStdString(), {"COM1"});
        QStringList summaries;
        bench.OnSummary = [&](const QString& text) { summaries << text; };
        bench.Line->LoopBox->setChecked(true);
        bench.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bench));
        bench.StartClick();
        BenchTableModel& rows = bench.Rows();
        QVERIFY(WaitUntil([&] { return rows.RowAt(0).CurrentState() == BenchRow::State::Waiting; },
                          RunTimeoutMs));
        QVERIFY(!bench.CloseBySignal());
        QVERIFY(WaitUntil([&] { return !bench.isVisible(); }, RunTimeoutMs));
        QVERIFY(!bench.RunActive());
        QVERIFY(boxes.Texts().empty());
        QCOMPARE(summaries.last(),
                 QStringLiteral("Production line: 1 receiver, 1 updated, 0 failed"));
    }
};

QTEST_MAIN(BenchWindowTest)
#include "BenchWindowTest.moc"
