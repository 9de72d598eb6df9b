// SPDX-License-Identifier: MIT
// The window's own update made clearer: the run's progress texts, the status bar's right-hand
// section and the percent on the bar during a real run, "Try again" after a refused file, and
// controls that follow the font.
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
#include <QRegularExpression>
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
            {"nothing yet", [&] { progress.FileProgress(500, 0.1); }, "", -1},
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
        CreateWindow("COM1=/dev/null\n", 1);
        const QSize designSize = Form->size();
        QSize previous = designSize;
        for (int pixels : {11, 16, 24}) {
            QFont font = Form->font();
            font.setPixelSize(pixels);
            Form->setFont(font);
            QFont labelFont = Form->LabelSend->font();
            labelFont.setPixelSize(pixels * 16 / 11);
            Form->LabelSend->setFont(labelFont);
            Form->FitControlsToFont();
            const QByteArray at = QByteArray::number(pixels) + " px";

            // Nothing cut: each control as large as its text needs, and never below the design.
            QVERIFY2(Form->ButtonStart->width() >= Form->ButtonStart->sizeHint().width(), at);
            QVERIFY2(Form->LabelSend->width() >= Form->LabelSend->sizeHint().width(), at);
            QVERIFY2(Form->CBoxPortName->width() >= Form->CBoxPortName->minimumSizeHint().width(),
                     at);
            QVERIFY2(Form->CBoxPortName->height() > Form->CBoxPortName->fontMetrics().height(), at);
            QVERIFY2(Form->ButtonStart->width() >= 137 && Form->ProgressBar1->width() >= 164, at);
            // In their order, apart, inside the client area.
            QVERIFY2(Form->LabelSend->geometry().bottom() < Form->CBoxPortName->y(), at);
            QVERIFY2(Form->CBoxPortName->geometry().right() < Form->ButtonStart->x(), at);
            QVERIFY2(Form->ButtonStart->geometry().right() < Form->ProgressBar1->x(), at);
            for (QWidget* control :
                 {static_cast<QWidget*>(Form->LabelSend), static_cast<QWidget*>(Form->CBoxPortName),
                  static_cast<QWidget*>(Form->ButtonStart),
                  static_cast<QWidget*>(Form->ProgressBar1)})
                QVERIFY2(Form->centralWidget()->rect().contains(control->geometry()), at);
            // The window fits them and keeps that size; the status bar runs along its bottom
            // with room for its texts.
            QCOMPARE(Form->minimumSize(), Form->size());
            QCOMPARE(Form->maximumSize(), Form->size());
            QCOMPARE(Form->StatusBar1->geometry().bottom(), Form->height() - 1);
            QCOMPARE(Form->StatusBar1->width(), Form->width());
            QVERIFY2(Form->StatusBar1->height() >= Form->StatusBar1->fontMetrics().height(), at);
            const QString usual = "file 3 of 3" + Dot + "11.5 kB/s" + Dot + "0:21 left";
            QVERIFY2(Form->ProgressSection->minimumWidth() >=
                         Form->ProgressSection->fontMetrics().horizontalAdvance(usual),
                     at);
            if (pixels == 11)
                QCOMPARE(Form->size(), designSize);
            QVERIFY2(Form->width() >= previous.width() && Form->height() >= previous.height(), at);
            previous = Form->size();
        }
    }

    void progressDuringARun()
    {
        // At the line rate, with a second file large enough to be seen on its way.
        ReceiverSimulator receiver(Workspace->Path("receiver"), {"--rate", "11520"});
        QVERIFY(receiver.Started());
        Workspace->WriteFirmwareFiles();
        std::string decoder;
        for (int i = 0; i < 30000; ++i)
            decoder.push_back(char(3 + i % 250));  // no 0x02: every byte is sent
        Workspace->Write("decoder.app", decoder);
        CreateWindow("COM4=" + Link("receiver") + "\n", 4);
        QVERIFY(Form->ProgressSection->isHidden());
        QVERIFY(!Form->ProgressBar1->isTextVisible());

        bool barShowedPercent = false;
        bool pictureTaken = false;
        Form->ProgressSection->OnText = [&](const QString& text) {
            ProgressTexts << text;
            if (!text.startsWith("file 2 of 3" + Dot))
                return;
            barShowedPercent = barShowedPercent || (Form->ProgressBar1->isTextVisible() &&
                                                    Form->ProgressBar1->text().endsWith('%'));
            if (!pictureTaken && text.contains("kB/s")) {
                pictureTaken = true;
                QDir().mkpath(ZENDRAK_TEST_ARTIFACT_DIR);
                Form->grab().save(
                    QStringLiteral(ZENDRAK_TEST_ARTIFACT_DIR "/window-mid-run-progress.png"));
            }
        };
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY2(WaitUntil([this] { return !Form->UpdateRunning; }, RunTimeoutMs),
                 qPrintable(Diagnosis(receiver)));
        QVERIFY2(Form->StatusText() == "Update OK", qPrintable(Diagnosis(receiver)));

        // The left-hand section as ever: each file's path, then the outcome.
        const QStringList paths{"", Workspace->Path("font.app"), Workspace->Path("decoder.app"),
                                Workspace->Path("out.app"), "Update OK"};
        QCOMPARE(StatusTexts, paths);
        // The right-hand one: each file in turn, its figures while it is sent, never above the
        // line rate; empty and hidden once the run is over, as is the percent.
        const QRegularExpression shape(QStringLiteral(
            "^file ([1-3]) of 3( \u00B7 (\\d+\\.\\d) kB/s \u00B7 (\\d+:\\d\\d|-:--) left| sent)$"));
        int lastFile = 0;
        int figures = 0;
        for (const QString& text : ProgressTexts.mid(0, ProgressTexts.size() - 1)) {
            const QRegularExpressionMatch match = shape.match(text);
            QVERIFY2(match.hasMatch(), qPrintable(Diagnosis(receiver)));
            QVERIFY(match.captured(1).toInt() >= lastFile);
            lastFile = match.captured(1).toInt();
            if (match.capturedLength(3) > 0) {
                ++figures;
                QVERIFY2(match.captured(3).toDouble() <= 11.6, qPrintable(text));
            }
        }
        for (int file = 1; file <= 3; ++file)
            QVERIFY2(ProgressTexts.contains(QStringLiteral("file %1 of 3 sent").arg(file)),
                     qPrintable(Diagnosis(receiver)));
        QVERIFY2(figures >= 3, qPrintable(Diagnosis(receiver)));
        QCOMPARE(ProgressTexts.last(), QString());
        QVERIFY(Form->ProgressSection->isHidden());
        QVERIFY(!Form->ProgressBar1->isTextVisible());
        QVERIFY(barShowedPercent);
        QVERIFY(pictureTaken);
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
        Boxes->Answers = {Texts::TryAgain};
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Form->UpdateRunning);
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
        QCOMPARE(Form->FCommPort->PortName, std::string("\\\\.\\COM2"));
        QVERIFY(!Form->FCommPort->PortOpen);
        QVERIFY(Form->ButtonStart->isEnabled());
        QVERIFY(Workspace->Read("logUpdate.txt").find("wrong: Die Datei wurde abgewiesen.") !=
                std::string::npos);
    }
};

QTEST_MAIN(WindowProgressTest)
#include "WindowProgressTest.moc"
