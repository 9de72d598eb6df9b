// SPDX-License-Identifier: MIT
// The main window offscreen: its form, start-up with and without the settings file, the port
// box, typing and choosing in it, and the starts that never reach the receiver.
#include "Exceptions.h"
#include "FolderLock.h"
#include "GuiTestSupport.h"
#include "PortSettings.h"
#include "QtMessageService.h"
#include "SerialPortKey.h"
#include "StartUnit.h"
#include "SystemTexts.h"
#include "Win1252.h"
#include "comm_port.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <memory>

namespace {

// A key with any texts, for lists the port map cannot give (COM10 beside COM100).
class FakeSerialPortKey : public SerialPortKey {
public:
    explicit FakeSerialPortKey(std::vector<std::string> texts) : Values(std::move(texts)) {}
    std::vector<std::string> ValueNames() override
    {
        std::vector<std::string> names;
        for (size_t i = 0; i < Values.size(); ++i)
            names.push_back("/dev/fake" + std::to_string(i));
        return names;
    }
    std::string ReadString(const std::string& name) override
    {
        const std::string& text = Values.at(std::stoul(name.substr(9)));
        if (text == "<not text>")
            throw ERegistryException("not text");
        return text;
    }
    std::string ToolTip(const std::string& name) override { return name; }

private:
    std::vector<std::string> Values;
};

QStringList ItemTexts(const QComboBox* box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TestWorkspace> Workspace;
    std::unique_ptr<SnapshotMessageService> Boxes;
    std::unique_ptr<ScopedMessageService> Scope;
    std::unique_ptr<TForm1> Form;

    void CreateWindow(bool show = true)
    {
        Form = std::make_unique<TForm1>();
        Form1 = Form.get();
        if (show) {
            Form->show();
            QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        }
    }
    void TypeKey(Qt::Key key, char text = 0)
    {
        if (text != 0)
            QTest::keyClick(Form->CBoxPortName->lineEdit(), text);
        else
            QTest::keyClick(Form->CBoxPortName->lineEdit(), key);
    }

private slots:
    void init()
    {
        ComPortNumber = 1;
        Application().Title = Texts::ApplicationTitle;
        Workspace = std::make_unique<TestWorkspace>();
        Boxes = std::make_unique<SnapshotMessageService>();
        Scope = std::make_unique<ScopedMessageService>(*Boxes);
    }
    void cleanup()
    {
        Form1 = nullptr;
        Form.reset();
        Scope.reset();
        Boxes.reset();
        Workspace.reset();
    }

    void layoutAndNames()
    {
        Workspace->Write("Zendrak.dat", "\x01");
        Workspace->WritePortsFile("COM1=/dev/null\n");
        CreateWindow();
        QCOMPARE(Form->windowTitle(), QStringLiteral("Zendrak v1.1"));
        QCOMPARE(Form->objectName(), QStringLiteral("TForm1"));
        QVERIFY(!Form->windowIcon().isNull());
        QCOMPARE(QImage(QStringLiteral(":/icons/zendrak-32.png")).size(), QSize(32, 32));
        QVERIFY(!Form->windowIcon().pixmap(32, 32).isNull());

        const struct {
            QWidget* Widget;
            const char* Name;
            QRect Geometry;
        } controls[] = {
            {Form->CBoxPortName, "CBoxPortName", {16, 24, 121, 21}},
            {Form->ButtonStart, "ButtonStart", {160, 13, 137, 33}},
            {Form->ProgressBar1, "ProgressBar1", {316, 15, 164, 28}},
        };
        for (const auto& control : controls) {
            QCOMPARE(control.Widget->objectName(), QString::fromLatin1(control.Name));
            QCOMPARE(control.Widget->geometry(), control.Geometry);
            QCOMPARE(control.Widget->window(), static_cast<QWidget*>(Form.get()));
        }
        QCOMPARE(Form->LabelSend->objectName(), QStringLiteral("LabelSend"));
        QCOMPARE(Form->LabelSend->pos(), QPoint(16, 0));
        QVERIFY(Form->LabelSend->width() >= 79);
        QVERIFY(Form->LabelSend->width() >= Form->LabelSend->sizeHint().width());
        QCOMPARE(Form->LabelSend->text(), QStringLiteral("COM-Port"));
        QVERIFY(Form->LabelSend->font().bold());
        QCOMPARE(Form->LabelSend->font().pixelSize(), 16);
        QCOMPARE(Form->LabelSend->font().families().value(0), QStringLiteral("MS Sans Serif"));
        QVERIFY(Form->LabelSend->font().families().size() > 1);  // stand-ins where it is missing
        QCOMPARE(Form->font().pixelSize(), 11);
        QVERIFY(!Form->font().bold());

        QCOMPARE(Form->ButtonStart->text(), QStringLiteral("Start Update"));
        QVERIFY(Form->CBoxPortName->isEditable());
        QCOMPARE(Form->ProgressBar1->minimum(), 0);
        QCOMPARE(Form->ProgressBar1->maximum(), 100);
        QCOMPARE(Form->ProgressBar1->value(), 0);

        QCOMPARE(Form->StatusBar1->objectName(), QStringLiteral("StatusBar1"));
        QCOMPARE(Form->statusBar(), Form->StatusBar1);
        QVERIFY(!Form->StatusBar1->isSizeGripEnabled());
        QVERIFY(Form->StatusBar1->geometry().bottom() == Form->height() - 1);
        QCOMPARE(Form->StatusBar1->width(), Form->width());

        QCOMPARE(Form->MainMenu1->objectName(), QStringLiteral("MainMenu1"));
        QCOMPARE(Form->menuBar(), Form->MainMenu1);
        // The bench, then the help, each an item of its own.
        QCOMPARE(Form->MainMenu1->actions(), (QList<QAction*>{Form->Bench1, Form->Help1}));
        QCOMPARE(Form->Bench1->text(), QStringLiteral("Bench..."));
        QVERIFY(Form->Bench1->menu() == nullptr);
        QCOMPARE(Form->Help1->objectName(), QStringLiteral("Help1"));
        QCOMPARE(Form->Help1->text(), QStringLiteral("Help"));
        QVERIFY(Form->Help1->menu() == nullptr);  // an item of its own, no sub-items

        // Tab order: Start, then the port box; the progress bar takes no focus.
        QVERIFY(!(Form->ProgressBar1->focusPolicy() & Qt::TabFocus));
        QVERIFY(Form->ButtonStart->focusPolicy() & Qt::TabFocus);
        QWidget* next = Form->ButtonStart->nextInFocusChain();
        while (next != Form->ButtonStart && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        QVERIFY(next == Form->CBoxPortName || Form->CBoxPortName->isAncestorOf(next));

        // Fits its controls: nothing sticks out of the client area.
        for (QWidget* control :
             {static_cast<QWidget*>(Form->LabelSend), static_cast<QWidget*>(Form->ProgressBar1)})
            QVERIFY(Form->centralWidget()->rect().contains(control->geometry()));
        QVERIFY(Boxes->Boxes.empty());
    }

    void startUpWithoutSettingsFile()
    {
        Workspace->WritePortsFile("COM3=/dev/null\nCOM1=/dev/zero\n");
        CreateWindow(false);
        QCOMPARE(Boxes->Texts(), std::vector<std::string>{"Error open Zendrak.dat !!!"});
        const ShownBox box = Boxes->Boxes[0];
        QCOMPARE(box.Request.Caption, std::string("Corvalt"));
        QVERIFY(box.Request.Icon == MsgIcon::Warning);
        QVERIFY(!box.WindowVisible);  // before the window shows
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM"));  // design text
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        QCOMPARE(ItemTexts(Form->CBoxPortName), (QStringList{"COM1", "COM3"}));
        QCOMPARE(Form->CBoxPortName->currentIndex(), 0);
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM1"));
        QCOMPARE(Form->StatusText(), QString());
        QCOMPARE(Boxes->Boxes.size(), size_t(1));
        QVERIFY(!Workspace->Exists("Zendrak.dat"));  // only a change of the box writes it
    }

    void startUpWithSettingsFile_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("text");
        QTest::newRow("3") << QByteArray("\x03", 1) << 1 << "COM3";
        QTest::newRow("empty file") << QByteArray() << 0 << "COM1";
        QTest::newRow("only the first byte") << QByteArray("\x0C\x01", 2) << 2 << "COM12";
        QTest::newRow("no such item") << QByteArray("\xC8", 1) << -1 << "";
    }
    void startUpWithSettingsFile()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, selected);
        QFETCH(QString, text);
        Workspace->Write("Zendrak.dat", settings.toStdString());
        Workspace->WritePortsFile("COM1=/dev/null\nCOM3=/dev/null\nCOM12=/dev/null\n");
        CreateWindow();
        QVERIFY(Boxes->Boxes.empty());
        QCOMPARE(Form->CBoxPortName->count(), 3);
        QCOMPARE(Form->CBoxPortName->currentIndex(), selected);
        QCOMPARE(Form->CBoxPortName->currentText(), text);
        QCOMPARE(Form->GetComPort(), text.toStdString());
    }

    void portBoxFromPortsFile()
    {
        // Out of order in the file, 25 of them: listed by number, the first 19 only.
        std::string ports = "# the receiver's adapters\n\n";
        for (int n = 25; n >= 1; --n)
            ports +=
                "  COM" + std::to_string(n) + " = /dev/zendrak-test-" + std::to_string(n) + "\n";
        Workspace->WritePortsFile(ports);
        Workspace->Write("Zendrak.dat", "\x13");  // 19: the last one listed
        CreateWindow();
        QVERIFY(Boxes->Boxes.empty());
        QStringList expected;
        for (int n = 1; n <= 19; ++n)
            expected << QStringLiteral("COM%1").arg(n);
        QCOMPARE(ItemTexts(Form->CBoxPortName), expected);
        QCOMPARE(Form->CBoxPortName->currentIndex(), 18);
        for (int i = 0; i < 19; ++i)
            QCOMPARE(Form->CBoxPortName->itemData(i, Qt::ToolTipRole).toString(),
                     QStringLiteral("/dev/zendrak-test-%1").arg(i + 1));
    }

    void tooltipsNameDeviceAndDescription()
    {
        Workspace->Write("Zendrak.dat", "\x02");
        Workspace->WritePortsFile(
            "COM1=/dev/serial/by-id/usb-receiver\nCOM5=rfc2217://bench-3:3001\n");
        Form = std::make_unique<TForm1>();
        Form1 = Form.get();
        Form->OpenSerialPortKey = [] {
            return OpenSerialCommKey([] {
                return std::vector<DetectedSerialPort>{{"/dev/ttyUSB0", "FT232R USB UART"},
                                                       {"/dev/ttyS0", ""}};
            });
        };
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        QCOMPARE(ItemTexts(Form->CBoxPortName), (QStringList{"COM1", "COM2", "COM3", "COM5"}));
        QCOMPARE(Form->CBoxPortName->itemData(0, Qt::ToolTipRole).toString(),
                 QStringLiteral("/dev/serial/by-id/usb-receiver"));
        QCOMPARE(Form->CBoxPortName->itemData(1, Qt::ToolTipRole).toString(),
                 QStringLiteral("/dev/ttyUSB0 - FT232R USB UART"));
        QCOMPARE(Form->CBoxPortName->itemData(2, Qt::ToolTipRole).toString(),
                 QStringLiteral("/dev/ttyS0"));
        // A port on another machine: its address.
        QCOMPARE(Form->CBoxPortName->itemData(3, Qt::ToolTipRole).toString(),
                 QStringLiteral("rfc2217://bench-3:3001"));
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM2"));
    }

    void portBoxOfAnyKey_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("noPortBoxes");
        QTest::newRow("same number twice: the later wins")
            << QStringList{"COM10", "COM3", "COM100"} << QByteArray("\x0A", 1)
            << QStringList{"COM10", "COM3", "COM100"} << 2 << "COM100" << 0;
        QTest::newRow("no match: empty text")
            << QStringList{"COM1", "COM3"} << QByteArray("\x07", 1) << QStringList{"COM1", "COM3"}
            << -1 << "" << 0;
        QTest::newRow("not text: the earlier items and their selection stay")
            << QStringList{"COM1", "COM2", "<not text>", "COM4"} << QByteArray("\x02", 1)
            << QStringList{"COM1", "COM2"} << 1 << "COM2" << 1;
        QTest::newRow("not text first: an empty box")
            << QStringList{"<not text>", "COM4"} << QByteArray("\x04", 1) << QStringList{} << -1
            << "" << 1;
        QTest::newRow("no ports: the box keeps its text")
            << QStringList{} << QByteArray("\x01", 1) << QStringList{} << -1 << "COM" << 1;
    }
    void portBoxOfAnyKey()
    {
        QFETCH(QStringList, texts);
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, items);
        QFETCH(int, selected);
        QFETCH(QString, text);
        QFETCH(int, noPortBoxes);
        Workspace->Write("Zendrak.dat", settings.toStdString());
        std::vector<std::string> values;
        for (const QString& t : texts)
            values.push_back(t.toStdString());
        Form = std::make_unique<TForm1>();
        Form1 = Form.get();
        Form->OpenSerialPortKey = [values] { return std::make_unique<FakeSerialPortKey>(values); };
        Form->show();
        QVERIFY(QTest::qWaitForWindowExposed(Form.get()));
        QCOMPARE(ItemTexts(Form->CBoxPortName), items);
        QCOMPARE(Form->CBoxPortName->currentIndex(), selected);
        QCOMPARE(Form->CBoxPortName->currentText(), text);
        QCOMPARE(Boxes->Texts(), std::vector<std::string>(size_t(noPortBoxes), "NO COM PORT"));
        for (const ShownBox& box : Boxes->Boxes) {
            QCOMPARE(box.Request.Caption, std::string("Corvalt"));
            QVERIFY(box.Request.Icon == MsgIcon::Warning);
        }
    }

    void itemWithoutPortNumberEndsTheListingWithTheErrorReport()
    {
        // The error leaves the handler (the application object reports it); the item stays,
        // later ones are not listed.
        Workspace->Write("Zendrak.dat", "\x03");
        Form = std::make_unique<TForm1>();
        Form1 = Form.get();
        Form->OpenSerialPortKey = [] {
            return std::make_unique<FakeSerialPortKey>(
                std::vector<std::string>{"COM1", "XY", "COM3"});
        };
        try {
            Form->ListComPorts();
            QFAIL("no range error");
        } catch (const ERangeError& error) {
            QCOMPARE(error.Message, std::string("Fehler bei Bereichspr\xFC"
                                                "fung"));
        }
        QCOMPARE(ItemTexts(Form->CBoxPortName), (QStringList{"COM1", "XY"}));
        QCOMPARE(Form->CBoxPortName->currentIndex(), -1);
        QVERIFY(Boxes->Boxes.empty());
    }

    void malformedPortsFileLine()
    {
        Workspace->Write("Zendrak.dat", "\x02");
        Workspace->WritePortsFile("COM1=/dev/a\nCOM2=/dev/b\nthis is no port\nCOM4=/dev/d\n");
        CreateWindow();
        QCOMPARE(ItemTexts(Form->CBoxPortName), (QStringList{"COM1", "COM2"}));
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM2"));
        QCOMPARE(Boxes->Texts(), std::vector<std::string>{"NO COM PORT"});
    }

    void emptyPortsFile()
    {
        Workspace->Write("Zendrak.dat", "\x02");
        Workspace->WritePortsFile("# nothing here\n");
        CreateWindow();
        QCOMPARE(Form->CBoxPortName->count(), 0);
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM"));
        QCOMPARE(Boxes->Texts(), std::vector<std::string>{"NO COM PORT"});
    }

    void typingStoresOnlyWholeNumbers()
    {
        Workspace->Write("Zendrak.dat", "\x03");
        Workspace->WritePortsFile("COM1=/dev/null\nCOM3=/dev/null\n");
        CreateWindow();
        QLineEdit* edit = Form->CBoxPortName->lineEdit();
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(Form->CBoxPortName->currentText(), QString());

        const struct {
            char Key;  // 0: backspace
            const char* Text;
            uint8_t Number;
            std::string File;
        } steps[] = {
            {'C', "C", 3, "\x03"},       {'O', "CO", 3, "\x03"},     {'M', "COM", 3, "\x03"},
            {'1', "COM1", 1, "\x01"},    {'2', "COM12", 12, "\x0C"}, {0, "COM1", 1, "\x01"},
            {'x', "COM1x", 1, "\x01"},   {0, "COM1", 1, "\x01"},     {'0', "COM10", 10, "\x0A"},
            {'7', "COM107", 10, "\x0A"}, {0, "COM10", 10, "\x0A"},   {0, "COM1", 1, "\x01"},
            {0, "COM", 1, "\x01"},       {'Z', "COMZ", 1, "\x01"},
        };
        for (const auto& step : steps) {
            if (step.Key != 0)
                QTest::keyClick(edit, step.Key);
            else
                QTest::keyClick(edit, Qt::Key_Backspace);
            QCOMPARE(Form->CBoxPortName->currentText(), QString::fromLatin1(step.Text));
            QCOMPARE(int(ComPortNumber), int(step.Number));
            QCOMPARE(Workspace->Read("Zendrak.dat"), step.File);
        }
        QVERIFY(Boxes->Boxes.empty());  // no error report for a text still being typed
    }

    void typingTheSameNumberRewritesTheFile()
    {
        Workspace->Write("Zendrak.dat", "\x01");
        Workspace->WritePortsFile("COM1=/dev/null\n");
        CreateWindow();
        QLineEdit* edit = Form->CBoxPortName->lineEdit();
        QFile::remove(Workspace->Path("Zendrak.dat"));
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);  // "COM": nothing
        QVERIFY(!Workspace->Exists("Zendrak.dat"));
        QTest::keyClick(edit, '1');  // "COM1" again: stored although unchanged
        QCOMPARE(Workspace->Read("Zendrak.dat"), std::string("\x01"));
    }

    void choosingAnItemStoresItsNumber()
    {
        Workspace->Write("Zendrak.dat", "\x01");
        Workspace->WritePortsFile("COM1=/dev/null\nCOM7=/dev/null\nCOM12=/dev/null\n");
        CreateWindow();
        QCOMPARE(Form->CBoxPortName->currentIndex(), 0);
        Form->CBoxPortName->setFocus();
        QTest::keyClick(Form->CBoxPortName, Qt::Key_Down);
        QCOMPARE(Form->CBoxPortName->currentText(), QStringLiteral("COM7"));
        QCOMPARE(int(ComPortNumber), 7);
        QCOMPARE(Workspace->Read("Zendrak.dat"), std::string("\x07"));
        QTest::keyClick(Form->CBoxPortName, Qt::Key_Down);
        QCOMPARE(int(ComPortNumber), 12);
        QCOMPARE(Workspace->Read("Zendrak.dat"), std::string("\x0C"));
        QVERIFY(Boxes->Boxes.empty());
    }

    void settingsFileThatCannotBeWritten()
    {
        Workspace->WritePortsFile("COM1=/dev/null\n");
        // Read-only, for root as well: read at start, never replaced.
        Workspace->Write("Zendrak.dat", "\x01");
        QVERIFY(QFile::setPermissions(Workspace->Path("Zendrak.dat"),
                                      QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        CreateWindow();
        QVERIFY(Boxes->Boxes.empty());
        QLineEdit* edit = Form->CBoxPortName->lineEdit();
        QTest::keyClick(edit, Qt::Key_End);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClick(edit, '5');
        QCOMPARE(int(ComPortNumber), 5);  // kept in memory
        QCOMPARE(Boxes->Texts(),
                 std::vector<std::string>{"Einstellung kann nicht gepeichert werden"});
        QCOMPARE(Boxes->Boxes[0].Request.Caption, std::string("Zendrak"));
        QVERIFY(Boxes->Boxes[0].Request.Icon == MsgIcon::None);
        QCOMPARE(Workspace->Read("Zendrak.dat"), std::string("\x01"));
    }

    void startWithoutFirmwareChangesNothing()
    {
        Workspace->Write("Zendrak.dat", "\x01");
        Workspace->WritePortsFile("COM1=/dev/null\n");
        Workspace->Write("font.bin", "not a firmware name");
        CreateWindow();
        Form->SetStatusText(QStringLiteral("before"));
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QVERIFY(Boxes->Boxes.empty());
        QVERIFY(Form->FCommPort == nullptr);  // no port was even made
        QVERIFY(Form->ButtonStart->isEnabled());
        QVERIFY(Form->CBoxPortName->isEnabled());
        QCOMPARE(Form->StatusText(), QStringLiteral("before"));
        QVERIFY(!Form->UpdateRunning);
    }

    void portThatCannotBeOpened_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("openBox");
        QTest::newRow("listed, device missing") << QByteArray("\x04", 1) << "Error open, COM COM4";
        // The box names the port that was tried, also when no item shows it.
        QTest::newRow("not listed: no item selected")
            << QByteArray("\xC8", 1) << "Error open, COM COM200";
    }
    void portThatCannotBeOpened()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, openBox);
        Workspace->Write("Zendrak.dat", settings.toStdString());
        Workspace->WritePortsFile("COM4=" + Workspace->Path("no-such-device").toStdString() + "\n");
        Workspace->WriteFirmwareFiles();
        CreateWindow();
        Form->SetStatusText(QStringLiteral("Update OK"));  // an earlier run's outcome
        for (int attempt = 0; attempt < 2; ++attempt) {    // the second start fails the same way
            Boxes->Boxes.clear();
            QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
            QCOMPARE(Boxes->Texts(),
                     (std::vector<std::string>{"COM Error", openBox.toStdString()}));
            QCOMPARE(Boxes->Boxes[0].Request.Caption, std::string("error"));
            QVERIFY(Boxes->Boxes[0].Request.Icon == MsgIcon::Warning);
            QVERIFY(!Boxes->Boxes[0].Request.Details.empty());  // what the error means
            QCOMPARE(Boxes->Boxes[1].Request.Caption, std::string("Corvalt"));
            QVERIFY(Boxes->Boxes[1].Request.Icon == MsgIcon::Warning);
            // Idle again: controls enabled, port closed, files released, no earlier outcome.
            QVERIFY(Form->ButtonStart->isEnabled());
            QVERIFY(Form->CBoxPortName->isEnabled());
            QVERIFY(Form->FCommPort != nullptr);
            QVERIFY(!Form->FCommPort->PortOpen);
            QCOMPARE(Form->GetFileSize(1), 0);
            QVERIFY(!Form->UpdateRunning);
            QCOMPARE(Form->StatusText(), QString());
        }
        const std::string device =
            std::string("\\\\.\\COM") + std::to_string(int(uint8_t(settings[0])));
        QCOMPARE(Form->FCommPort->PortName, device);
        FolderLock probe;  // the failed start let go of the folder
        QVERIFY(probe.Take(".") == FolderLock::Result::Taken);
    }

    void startRefusedBeforeTheLine_data()
    {
        QTest::addColumn<bool>("folderHeld");
        QTest::newRow("another run in this folder") << true;
        QTest::newRow("a firmware file locked by another program") << false;
    }
    void startRefusedBeforeTheLine()
    {
        QFETCH(bool, folderHeld);
        const std::string box = folderHeld
                                    ? std::string(Texts::AnotherUpdateRunning)
                                    : "Cannot use the firmware file " +
                                          Workspace->Path("decoder.app").toStdString() +
                                          ": another program has it locked. Nothing was sent.";
        Workspace->Write("Zendrak.dat", "\x01");
        Workspace->WritePortsFile("COM1=/dev/null\n");
        Workspace->WriteFirmwareFiles();
        // Another run's lock on the folder, or another program's lock on a file (either is
        // another open file description, as another process has).
        FolderLock otherRun;
        const int lockedFile =
            ::open(Workspace->Path("decoder.app").toLocal8Bit().constData(), O_RDONLY);
        if (folderHeld)
            QVERIFY(otherRun.Take(".") == FolderLock::Result::Taken);
        else
            QVERIFY(lockedFile >= 0 && ::flock(lockedFile, LOCK_SH) == 0);
        CreateWindow();
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        ::close(lockedFile);
        QCOMPARE(Boxes->Texts(), std::vector<std::string>{box});
        QCOMPARE(Boxes->Boxes[0].Request.Caption, std::string("Corvalt"));
        QVERIFY(Boxes->Boxes[0].Request.Icon == MsgIcon::Warning);
        QVERIFY(Form->FCommPort == nullptr);  // no port was even made: nothing sent
        QVERIFY(Form->ButtonStart->isEnabled());
        QVERIFY(!Form->UpdateRunning);
        for (int32_t type = 1; type <= 3; ++type)
            QCOMPARE(Form->GetFileSize(type), 0);
        if (!folderHeld) {
            FolderLock probe;  // the refused start let go of the folder
            QVERIFY(probe.Take(".") == FolderLock::Result::Taken);
        }
    }

    void statusBarSizeFocusAndFolder()
    {
        Workspace->Write("Zendrak.dat", "\x01");
        Workspace->WritePortsFile("COM1=/dev/null\n");
        CreateWindow();
        // Focus starts on "Start Update"; its tooltip names the folder in use.
        QCOMPARE(Form->focusWidget(), static_cast<QWidget*>(Form->ButtonStart));
        QVERIFY(Form->ButtonStart->toolTip().contains(QDir::currentPath()));
        QCOMPARE(Form->windowTitle(), QStringLiteral("Zendrak v1.1"));

        // The size that fits the controls, and no other.
        const QSize fitted = Form->size();
        QCOMPARE(Form->minimumSize(), fitted);
        QCOMPARE(Form->maximumSize(), fitted);
        Form->resize(fitted + QSize(300, 200));
        QCOMPARE(Form->size(), fitted);

        const struct {
            QString Text;
            bool Shortened;
        } cases[] = {
            {QStringLiteral("/home/tech/decoder.app"), false},
            {QStringLiteral("/home/tech/") + QString(30, 'x') + "/firmware/release-2026-12/" +
                 QString(40, 'y') + "/decoder.app",
             true},
            {QString::fromUtf8("/home/techniker/Aufträge/") + QString(80, 'z') + "/font.app", true},
            {QStringLiteral("Update OK"), false},
            {QString(), false},
        };
        for (const auto& c : cases) {
            Form->SetStatusText(c.Text);
            QCOMPARE(Form->StatusText(), c.Text);  // the whole text stays readable
            QCOMPARE(Form->StatusBar1->toolTip(), c.Text);
            const QString shown = Form->ShownStatusText();
            QCOMPARE(shown != c.Text, c.Shortened);
            QCOMPARE(Form->size(), fitted);  // a long text never widens the window
            if (!c.Shortened)
                continue;
            // Shortened in the middle: the start and the file name stay.
            QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
            QVERIFY(shown.startsWith(c.Text.left(5)));
            QVERIFY2(shown.endsWith("/" + QFileInfo(c.Text).fileName()), qPrintable(shown));
            QVERIFY(Form->StatusBar1->fontMetrics().horizontalAdvance(shown) <=
                    Form->StatusBar1->width());
        }
    }

    void portListIsReadAgainWhenOpened()
    {
        Workspace->Write("Zendrak.dat", "\x03");
        Workspace->WritePortsFile("COM1=/dev/null\nCOM3=/dev/zero\n");
        CreateWindow();
        QCOMPARE(ItemTexts(Form->CBoxPortName), (QStringList{"COM1", "COM3"}));
        const QFileInfo settings(Workspace->Path("Zendrak.dat"));
        const QDateTime written = settings.lastModified();

        const struct {
            const char* Ports;
            const char* Typed;  // nullptr: the item COM3 stays chosen
            QStringList Items;
            int Selected;
        } cases[] = {
            // COM1 gone, COM7 new; then the typed text stays.
            {"COM3=/dev/zero\nCOM7=/dev/null\n", nullptr, {"COM3", "COM7"}, 0},
            {"COM7=/dev/null\n", "COM12", {"COM7"}, -1},
            {"COM2=/dev/null\nCOM12=/dev/zero\n", "COM12", {"COM2", "COM12"}, 1},
            {"", "COM12", {}, -1},
            {"COM4=/dev/null\nbroken line\nCOM9=/dev/null\n", "COM12", {"COM4"}, -1},
        };
        for (const auto& c : cases) {
            Workspace->WritePortsFile(c.Ports);
            if (c.Typed)
                Form->CBoxPortName->setEditText(c.Typed);
            const QString before = Form->CBoxPortName->currentText();
            Form->CBoxPortName->showPopup();
            QCOMPARE(ItemTexts(Form->CBoxPortName), c.Items);
            QCOMPARE(Form->CBoxPortName->currentText(), before);
            QCOMPARE(Form->CBoxPortName->currentIndex(), c.Selected);
            Form->CBoxPortName->hidePopup();
        }
        // Refilling stores nothing and shows nothing.
        QVERIFY(Boxes->Boxes.empty());
        QCOMPARE(int(ComPortNumber), 3);
        QCOMPARE(Workspace->Read("Zendrak.dat"), std::string("\x03"));
        QCOMPARE(QFileInfo(Workspace->Path("Zendrak.dat")).lastModified(), written);
    }

    void realBoxesAfterAPortError()
    {
        Workspace->Write("Zendrak.dat", "\x04");
        Workspace->WritePortsFile("COM4=" + Workspace->Path("no-such-device").toStdString() + "\n");
        Workspace->WriteFirmwareFiles();
        CreateWindow();
        QApplication::setWindowIcon(Form->windowIcon());  // as the program does
        QtMessageService qtBoxes;
        qtBoxes.Owner = Form.get();
        ScopedMessageService scope(qtBoxes);
        BoxWatcher watcher;
        QTest::mouseClick(Form->ButtonStart, Qt::LeftButton);
        QCOMPARE(watcher.Seen.size(), size_t(2));
        QCOMPARE(watcher.Seen[0].Text, QStringLiteral("COM Error"));
        QCOMPARE(watcher.Seen[1].Text, QStringLiteral("Error open, COM COM4"));
        // The reason names the port map where it really is.
        QVERIFY2(watcher.Seen[0].Details.contains(Workspace->Path("config/zendrak/ports")),
                 qPrintable(watcher.Seen[0].Details));
        for (const SeenBox& box : watcher.Seen) {
            QCOMPARE(box.Parent, static_cast<QWidget*>(Form.get()));
            QVERIFY(box.HasIcon);
            // Centred on the window (the box settles its size as it shows), and wide enough for
            // the caption and the window's buttons.
            const QPoint offset = box.Geometry.center() - Form->geometry().center();
            QVERIFY2(std::abs(offset.x()) <= 16 && std::abs(offset.y()) <= 16,
                     qPrintable(QStringLiteral("offset %1,%2").arg(offset.x()).arg(offset.y())));
            QVERIFY(box.Geometry.width() >=
                    Form->fontMetrics().horizontalAdvance(box.Caption) + 100);
        }
    }

    void closingWhenIdleIsAllowed()
    {
        Workspace->Write("Zendrak.dat", "\x01");
        Workspace->WritePortsFile("COM1=/dev/null\n");
        CreateWindow();
        QVERIFY(Form->close());
        QVERIFY(Boxes->Boxes.empty());
    }
};

QTEST_MAIN(WindowTest)
#include "WindowTest.moc"
