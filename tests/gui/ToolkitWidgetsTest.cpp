// SPDX-License-Identifier: MIT
// The toolkit's widget parts: message boxes as real Qt dialogs (closed by a timer, so nothing
// blocks), from the user-interface thread and from a worker; and the application object that
// turns an exception leaving an event handler into the standard error report.
#include "Exceptions.h"
#include "GuiTestSupport.h"
#include "Messages.h"
#include "QtMessageService.h"
#include "TApplication.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <functional>
#include <stdexcept>
#include <thread>

namespace {

struct SeenBox {
    QString Text, Title, Details;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    int Buttons = 0;  // 1: OK alone (besides "Show Details...")
    bool OnMainThread = false;
};

// Closes the next modal message box as soon as it shows, noting what it showed.
class BoxCloser : public QObject {
public:
    BoxCloser()
    {
        connect(&Timer, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr)
                return;
            Seen.push_back({box->text(), box->windowTitle(), box->detailedText(), box->icon(),
                            box->standardButtons() == QMessageBox::Ok ? 1 : 0, true});
            box->accept();
        });
        Timer.start(20);
    }
    std::vector<SeenBox> Seen;

private:
    QTimer Timer;
};

// Throws what it is told when it gets an event.
class Thrower : public QObject {
public:
    std::function<void()> Throw;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            Throw();
        return QObject::event(e);
    }
};

}  // namespace

class ToolkitWidgetsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { Application().Title = "Zendrak"; }

    void qtBoxesShowTextCaptionIconAndDetails()
    {
        QtMessageService service;
        ScopedMessageService scope(service);
        BoxCloser closer;
        MessageBox("COM Error", "error", MsgIcon::Warning, "Permission denied: join dialout");
        ShowMessage("Comm Error: ");
        ShowException(MakeRangeError());
        QCOMPARE(closer.Seen.size(), size_t(3));
        QCOMPARE(closer.Seen[0].Text, QStringLiteral("COM Error"));
        QCOMPARE(closer.Seen[0].Title, QStringLiteral("error"));
        QCOMPARE(closer.Seen[0].Icon, QMessageBox::Warning);
        QCOMPARE(closer.Seen[0].Details, QStringLiteral("Permission denied: join dialout"));
        QCOMPARE(closer.Seen[0].Buttons, 1);
        QCOMPARE(closer.Seen[1].Title, QStringLiteral("Zendrak"));
        QCOMPARE(closer.Seen[1].Icon, QMessageBox::NoIcon);
        QCOMPARE(closer.Seen[1].Details, QString());
        // Windows-1252 texts are converted for display only here.
        QCOMPARE(closer.Seen[2].Text, QString::fromUtf8("Fehler bei Bereichsprüfung."));
        QCOMPARE(closer.Seen[2].Icon, QMessageBox::Critical);
    }

    void aBoxAskedForByAWorkerIsShownOnTheUserInterfaceThread()
    {
        QtMessageService service;
        ScopedMessageService scope(service);
        BoxCloser closer;
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            MessageBox("COM Error", "error", MsgIcon::Warning);
            returned = true;  // only after the box was closed
        });
        QVERIFY(WaitUntil([&] { return returned.load(); }, 20000));
        worker.join();
        QCOMPARE(closer.Seen.size(), size_t(1));
        QCOMPARE(closer.Seen[0].Text, QStringLiteral("COM Error"));
    }

    void qtBoxesOfferButtonsBesideOk()
    {
        QtMessageService service;
        ScopedMessageService scope(service);
        // How the user leaves the box, and the answer; only a click on the button itself takes
        // the second action.
        const struct {
            const char* Name;
            std::function<void(QMessageBox*)> Leave;
            std::string Answer;
        } cases[] = {
            {"Try again clicked",
             [](QMessageBox* box) {
                 for (QAbstractButton* button : box->buttons())
                     if (button->text() == "Try again")
                         button->click();
             },
             "Try again"},
            {"Enter", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); }, ""},
            {"Escape", [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); }, ""},
        };
        for (const auto& c : cases) {
            QStringList buttons;
            QTimer::singleShot(50, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                QVERIFY(box != nullptr);
                for (QAbstractButton* button : box->buttons())
                    buttons << button->text();
                c.Leave(box);
            });
            const std::string answer = AskMessageBox(
                {"Update Error", "Corvalt", MsgIcon::Warning, "details", {"Try again"}});
            QVERIFY2(answer == c.Answer, c.Name);
            QVERIFY2(buttons.contains("OK") || buttons.contains("&OK"), c.Name);
            QVERIFY2(buttons.contains("Try again"), c.Name);
            QVERIFY2(buttons.size() == 3, qPrintable(buttons.join(", ")));  // and "Show Details..."
        }
    }

    void exceptionsLeavingHandlersAreReported()
    {
        RecordingMessageService recorder;
        ScopedMessageService scope(recorder);
        Thrower thrower;
        const std::vector<std::function<void()>> throws{
            [] { throw MakeConvertError("x"); },
            [] { throw std::runtime_error("bad thing"); },
            [] { throw 42; },
        };
        for (const auto& t : throws) {
            thrower.Throw = t;
            QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
            QCoreApplication::processEvents();
        }
        const auto boxes = recorder.Boxes();
        QCOMPARE(boxes.size(), size_t(3));
        QCOMPARE(boxes[0].Text, std::string("'x' ist kein g\xFCltiger Integerwert."));
        QCOMPARE(boxes[1].Text, std::string("bad thing."));
        QCOMPARE(boxes[2].Text, std::string());
        for (const auto& box : boxes) {
            QCOMPARE(box.Caption, std::string("Zendrak"));
            QVERIFY(box.Icon == MsgIcon::Error);
        }
    }
};

int main(int argc, char** argv)
{
    TApplication application(argc, argv);
    ToolkitWidgetsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ToolkitWidgetsTest.moc"
