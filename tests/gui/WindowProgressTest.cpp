// SPDX-License-Identifier: MIT
// The window's own update made clearer: the run's progress texts, "Try again" after a refused
// file (with the status bar's right-hand section and the percent on the bar during the real
// runs), and controls that follow the font.
#include "GuiTestSupport.h"
#include "PortSettings.h"
#include "RunProgress.h"
#include "RunProgressSection.h"
#include "StartUnit.h"
#include "SystemTexts.h"
#include "TThread.h"
#include "comm_port.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <functional>
#include <memory>

namespace {

constexpr int RunTimeoutMs = 90000;

const QString Dot = QStringLiteral(" \u00B7 ");

}  // namespace

class WindowProgressTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestWorkspace> Workspace;
    std::unique_ptr<SnapshotMessageService> Boxes;
    std::unique_ptr<ScopedMessageService> Scope;
    std::unique_ptr<TForm1> Form;
    QStringList StatusTexts;
    QStringList ProgressTexts;

    void CreateWindow(const std::string& ports, uint8_t portNumber)
    {
        Workspace->WritePortsFile(ports);
        Workspace->Write("Zendrak.dat", std::string(1, char(portNumber)));
        Form = std::make_unique<TForm1>();
        Form1 = Form.get();
        Form->OnStatusText = [this](const QString& text) { StatusTexts << text; };
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
    }
    std::string Link(const char* name) const { return Workspace->Path(name).toStdString(); }
    QString Diagnosis(ReceiverSimulator& receiver)
    {
        return QStringLiteral("log:\n%1\nsimulator:\n%2\nsection:\n%3")
            .arg(QString::fromLatin1(Workspace->Read("logUpdate.txt")), receiver.ErrorOutput(),
                 ProgressTexts.join('\n'));
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
        ProgressTexts.clear();
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

    void progressTexts()
    {
        // Three files; the times are seconds. 11520 bytes a second is the line rate. The time
        // left counts the file's rest, the later files and the run's pauses still to come
        // (12.14 s with two files after this one, 9.87 s with one, 7.6 s with none).
        const RunFile font{"/f/font.app", 1000, {}};
        const RunFile decoder{"/f/decoder.app", 23040, {}};
        const RunFile out{"/f/out.app", 11520, {}};
        RunProgress progress;
        const struct {
            const char* Name;
            std::function<void()> Event;
            QString Text;
            int Percent;
        } steps[] = {
            {"run begins",
             [&] {
                 progress.Begin({font, decoder, out});
             },
             "", -1},
            {"first file begins", [&] { progress.FileBegins(font, 0); },
             "file 1 of 3" + Dot + "11.5 kB/s" + Dot + "0:15 left", 0},
            {"first file sent", [&] { progress.FileEnds(1000, true, 0.1); }, "file 1 of 3 sent",
             100},
            {"progress after the end is no send", [&] { progress.FileProgress(200, 0.2); },
             "file 1 of 3 sent", 100},
            {"second file begins", [&] { progress.FileBegins(decoder, 2.0); },
             "file 2 of 3" + Dot + "11.5 kB/s" + Dot + "0:13 left", 0},
            {"a quarter at the line rate", [&] { progress.FileProgress(5760, 2.5); },
             "file 2 of 3" + Dot + "11.5 kB/s" + Dot + "0:12 left", 25},
            {"slower", [&] { progress.FileProgress(8640, 3.0); },
             "file 2 of 3" + Dot + "8.6 kB/s" + Dot + "0:13 left", 37},
            {"nothing moves for two seconds", [&] { progress.FileProgress(8640, 5.5); },
             "file 2 of 3" + Dot + "0.0 kB/s" + Dot + "-:-- left", 37},
            {"more bytes than the file: at most the file",
             [&] { progress.FileProgress(99999, 6.0); },
             "file 2 of 3" + Dot + "4.8 kB/s" + Dot + "0:12 left", 100},
            {"stopped short", [&] { progress.FileEnds(12000, false, 6.1); }, "file 2 of 3 stopped",
             52},
            {"last file begins", [&] { progress.FileBegins(out, 9.0); },
             "file 3 of 3" + Dot + "11.5 kB/s" + Dot + "0:09 left", 0},
            {"a file the run did not list is counted as it comes",
             [&] {
                 progress.FileBegins({"/f/extra.app", 100, {}}, 12.0);
             },
             "file 4 of 4" + Dot + "11.5 kB/s" + Dot + "0:08 left", 0},
            {"a new run forgets the last", [&] { progress.Begin({decoder}); }, "", -1},
            {"a run of one file", [&] { progress.FileBegins(decoder, 20.0); },
             "file 1 of 1" + Dot + "11.5 kB/s" + Dot + "0:10 left", 0},
        };
        for (const auto& step : steps) {
            step.Event();
            QVERIFY2(
                RunProgressText(progress) == step.Text,
                qPrintable(QStringLiteral("%1: %2").arg(step.Name, RunProgressText(progress))));
            QVERIFY2(progress.Percent() == step.Percent, step.Name);
            QCOMPARE(SendFiguresText(progress).isEmpty(), !progress.Sending());
        }
    }

    void tryAgainOnlyWhenPortAndFilesAreThere()
    {
        Workspace->Write("device", "");
        const struct {
            const char* Name;
            std::string Ports;
            bool Firmware;
            QString Obstacle;  // a part of it; empty: none
        } cases[] = {
            {"port and files there", "COM5=" + Link("device") + "\n", true, ""},
            {"device gone", "COM5=" + Link("gone") + "\n", true,
             "COM5 (" + Workspace->Path("gone") + ") is not there now"},
            {"port no longer listed", "COM6=" + Link("device") + "\n", true,
             "COM5 is no longer in the list of ports"},
            {"a port over the network is tried", "COM5=rfc2217://127.0.0.1:1\n", true, ""},
            {"no firmware file", "COM5=" + Link("device") + "\n", false,
             "no firmware file (font.app, decoder.app, out.app) in " + QDir::currentPath()},
        };
        CreateWindow("", 5);
        for (const auto& c : cases) {
            Workspace->WritePortsFile(c.Ports);
            for (const char* name : {"font.app", "decoder.app", "out.app"})
                QFile::remove(Workspace->Path(name));
            if (c.Firmware)
                Workspace->WriteFirmwareFiles();
            const QString obstacle = QString::fromStdString(Form->TryAgainObstacle(5));
            if (c.Obstacle.isEmpty())
                QVERIFY2(obstacle.isEmpty(), c.Name);
            else
                QVERIFY2(obstacle.contains(c.Obstacle),
                         qPrintable(QStringLiteral("%1: %2").arg(c.Name, obstacle)));
        }
    }

    void controlsFollowTheFont()
    {
        // At the design font the form's geometry holds (the window tests check it); larger fonts
        // widen and heighten what their texts need, and nothing overlaps or is cut.
        CreateWindow("COM1=/dev/null\n", 1);
        const QSize designSize = Form->size();
        for (int pixels : {16, 24}) {
            QFont font = Form->font();
            font.setPixelSize(pixels);
            Form->setFont(font);  // the window lays itself out anew
            const QByteArray at = QByteArray::number(pixels) + " px";
            QWidget* const row[] = {Form->CBoxPortName, Form->ButtonStart, Form->ProgressBar1};
            for (int i = 0; i < 3; ++i) {
                QVERIFY2(row[i]->width() >= row[i]->minimumSizeHint().width(), at);
                QVERIFY2(row[i]->height() > row[i]->fontMetrics().height(), at);
                QVERIFY2(Form->centralWidget()->rect().contains(row[i]->geometry()), at);
                QVERIFY2(i == 0 || row[i - 1]->geometry().right() < row[i]->x(), at);
            }
            QVERIFY2(Form->ButtonStart->width() >= Form->ButtonStart->sizeHint().width(), at);
            QVERIFY2(Form->LabelSend->geometry().bottom() < Form->CBoxPortName->y(), at);
            QVERIFY2(Form->size().expandedTo(designSize) == Form->size(), at);
            QCOMPARE(Form->maximumSize(), Form->size());
            QCOMPARE(Form->StatusBar1->geometry().bottom(), Form->height() - 1);
            QVERIFY2(Form->StatusBar1->height() >= Form->StatusBar1->fontMetrics().height(), at);
            const QString usual = "file 3 of 3" + Dot + "11.5 kB/s" + Dot + "0:21 left";
            QVERIFY2(Form->ProgressSection->minimumWidth() >=
                         Form->ProgressSection->fontMetrics().horizontalAdvance(usual),
                     at);
        }
    }

    void tryAgainAfterARefusedFile()
    {
        // The receiver refuses the file both times; "Try again" in the first box runs the same
        // update again on the same port from the same folder.
        ReceiverSimulator receiver(
            Workspace->Path("receiver"),
            {"--runs", "2", "--verdict", "wrong", "--save", Workspace->Path("received")});
        QVERIFY(receiver.Started());
        Workspace->WriteFirmwareFiles();
        CreateWindow("COM2=" + Link("receiver") + "\n", 2);
        Form->ProgressSection->OnText = [this](const QString& text) { ProgressTexts << text; };
        Boxes->Answers = {Texts::TryAgain};
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Form->UpdateRunning);
        QVERIFY(Form->ProgressBar1->isTextVisible());
        QVERIFY2(WaitUntil([this] { return Boxes->Boxes.size() >= 2 && !Form->UpdateRunning; },
                           2 * RunTimeoutMs),
                 qPrintable(Diagnosis(receiver)));

        QCOMPARE(Boxes->Texts(), (std::vector<std::string>{"Update Error", "Update Error"}));
        QCOMPARE(Boxes->Boxes[0].Request.ExtraButtons, std::vector<std::string>{"Try again"});
        QVERIFY(Boxes->Answers.empty());
        QCOMPARE(receiver.WaitForExit(20000), 0);  // it played both runs
        QCOMPARE(Workspace->Read("received/transcript.txt"), std::string("r\nl\ns\nr\nl\ns\n"));
        const QStringList expected{"", Workspace->Path("font.app"), "Update Error",
                                   Workspace->Path("font.app"), "Update Error"};
        QCOMPARE(StatusTexts, expected);
        // The right-hand section followed each run's file and is empty once they are over.
        QCOMPARE(ProgressTexts.count("file 1 of 3 sent"), 2);
        QCOMPARE(ProgressTexts.last(), QString());
        QVERIFY(Form->ProgressSection->isHidden());
        QVERIFY(!Form->ProgressBar1->isTextVisible());
        QCOMPARE(Form->FCommPort->PortName, std::string("\\\\.\\COM2"));
        QVERIFY(!Form->FCommPort->PortOpen);
        QVERIFY(Form->ButtonStart->isEnabled());
        QVERIFY(Workspace->Read("logUpdate.txt").find("wrong: Die Datei wurde abgewiesen.") !=
                std::string::npos);
    }
};

QTEST_MAIN(WindowProgressTest)
#include "WindowProgressTest.moc"
