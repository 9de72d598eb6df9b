// SPDX-License-Identifier: MIT
#include "GuiTestSupport.h"

#include "MainThread.h"
#include "StartUnit.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>

#ifndef ZENDRAK_SIM_PATH
#error "ZENDRAK_SIM_PATH names the simulator binary"
#endif

TestWorkspace::TestWorkspace() : Previous(QDir::currentPath())
{
    QDir::setCurrent(Dir.path());
    QDir(Dir.path()).mkpath(QStringLiteral("config/zendrak"));
    qputenv("XDG_CONFIG_HOME", Dir.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("ZENDRAK_NO_PORT_DETECTION", "1");
}

TestWorkspace::~TestWorkspace()
{
    QDir::setCurrent(Previous);
}

void TestWorkspace::Write(const QString& name, const std::string& bytes) const
{
    QFile file(Path(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(name));
    file.write(bytes.data(), qint64(bytes.size()));
}

std::string TestWorkspace::Read(const QString& name) const
{
    QFile file(Path(name));
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll().toStdString();
}

bool TestWorkspace::Exists(const QString& name) const
{
    return QFile::exists(Path(name));
}

void TestWorkspace::WritePortsFile(const std::string& lines) const
{
    Write(QStringLiteral("config/zendrak/ports"), lines);
}

void TestWorkspace::WriteFirmwareFiles() const
{
    std::string font, decoder, out;
    for (int i = 0; i < 300; ++i) {
        font.push_back(char(i % 251));
        decoder.push_back(char((i * 7) % 256));
    }
    for (int i = 0; i < 1000; ++i)
        out.push_back(char(255 - i % 256));
    Write(QStringLiteral("font.app"), font);
    Write(QStringLiteral("decoder.app"), decoder);
    Write(QStringLiteral("out.app"), out);
}

void SnapshotMessageService::Show(const MessageBoxRequest& request)
{
    ShownBox box;
    box.Request = request;
    box.OnMainThread = IsMainThread();
    if (Form1 != nullptr) {
        box.WindowVisible = Form1->isVisible();
        box.StartEnabled = Form1->ButtonStart->isEnabled();
        box.PortBoxEnabled = Form1->CBoxPortName->isEnabled();
    }
    Boxes.push_back(box);
}

std::string SnapshotMessageService::Ask(const MessageBoxRequest& request)
{
    Show(request);
    return TakeScriptedAnswer(request, Answers);
}

std::vector<std::string> SnapshotMessageService::Texts() const
{
    std::vector<std::string> texts;
    for (const ShownBox& box : Boxes)
        texts.push_back(box.Request.Text);
    return texts;
}

ReceiverSimulator::ReceiverSimulator(const QString& link, const QStringList& options)
{
    QStringList arguments{QStringLiteral("--link"), link};
    arguments << options;
    const qsizetype save = options.indexOf(QStringLiteral("--save"));
    if (save >= 0 && save + 1 < options.size())
        QDir().mkpath(options[save + 1]);  // the simulator writes into it, it does not make it
    Process.start(QStringLiteral(ZENDRAK_SIM_PATH), arguments);
    // The simulator prints its terminal's path once the line (and the link) are in place.
    Ready = Process.waitForStarted(5000) &&
            WaitUntil(
                [this] { return Process.canReadLine() || Process.state() == QProcess::NotRunning; },
                10000) &&
            Process.canReadLine() && QFile::exists(link);
}

ReceiverSimulator::~ReceiverSimulator()
{
    if (Process.state() != QProcess::NotRunning) {
        Process.terminate();
        if (!Process.waitForFinished(3000)) {
            Process.kill();
            Process.waitForFinished(3000);
        }
    }
}

int ReceiverSimulator::WaitForExit(int timeoutMs)
{
    if (!WaitUntil([this] { return Process.state() == QProcess::NotRunning; }, timeoutMs))
        return -1;
    return Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
}

QString ReceiverSimulator::ErrorOutput()
{
    return QString::fromLocal8Bit(Process.readAllStandardError());
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

BoxWatcher::BoxWatcher(int closeAfterMs) : CloseAfterMs(closeAfterMs)
{
    Clock.start();
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &BoxWatcher::Scan);
    timer->start(10);
}

void BoxWatcher::Scan()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible())
            continue;
        const bool known = std::any_of(Open.begin(), Open.end(),
                                       [box](const OpenBox& open) { return open.Box == box; });
        if (known)
            continue;
        SeenBox seen;
        seen.Text = box->text();
        seen.Caption = box->windowTitle();
        seen.Details = box->detailedText();
        seen.Parent = box->parentWidget();
        seen.HasIcon = !box->windowIcon().isNull();
        seen.Geometry = box->geometry();
        Seen.push_back(seen);
        Open.push_back({box, Clock.elapsed(), Seen.size() - 1});
    }
    for (const OpenBox& open : Open) {
        if (open.Box && open.Box->isVisible() && Clock.elapsed() - open.Since >= CloseAfterMs) {
            Seen[open.Index].ClosedByWatcher = true;
            static_cast<QMessageBox*>(open.Box.data())->accept();
        }
    }
}
