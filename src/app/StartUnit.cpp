// SPDX-License-Identifier: MIT
// TForm1's construction, its show and close handling, its status text and its controls' state.
#include "StartUnit.h"

#include "BenchWindow.h"
#include "FirmFileReader.h"
#include "FirmwareFiles.h"
#include "MainThread.h"
#include "Messages.h"
#include "PortComboBox.h"
#include "PortSettings.h"
#include "RunProgressSection.h"
#include "RunSession.h"
#include "StatusTextLabel.h"
#include "SystemTexts.h"
#include "Win1252.h"
#include "comm_port.h"
#include "help/HelpSystem.h"
#include "ui_StartUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QStatusBar>
#include <algorithm>

TForm1* Form1 = nullptr;

// The window's resources live in a static library: they must be registered by name.
static void InitWindowResources()
{
    Q_INIT_RESOURCE(icons);
}

namespace {

// The design font and the fonts that stand in for it where it is missing.
const QStringList SansSerifFonts{
    QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
    QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")};

QFont DesignFont(int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(SansSerifFonts);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// The form's design geometry (client-area pixels at the design font).
const QRect LabelSendDesign{16, 0, 79, 20};
const QRect PortBoxDesign{16, 24, 121, 21};
const QRect StartDesign{160, 13, 137, 33};
const QRect ProgressDesign{316, 15, 164, 28};
const QSize ClientDesign{501, 70};
const int StatusBarDesignHeight = 21;

}  // namespace

TForm1::TForm1(QWidget* parent, const std::string& folder)
    : QMainWindow(parent),
      Folder(folder.empty() ? CurrentDirectory() : folder),
      Ui(std::make_unique<Ui::TForm1>())
{
    InitWindowResources();
    Ui->setupUi(this);
    StatusBar1 = Ui->StatusBar1;
    CBoxPortName = Ui->CBoxPortName;
    ButtonStart = Ui->ButtonStart;
    ProgressBar1 = Ui->ProgressBar1;
    LabelSend = Ui->LabelSend;
    MainMenu1 = Ui->MainMenu1;
    Bench1 = Ui->Bench1;
    Help1 = Ui->Help1;

    setWindowIcon(QIcon(QStringLiteral(":/icons/zendrak-32.png")));
    ApplyFonts();
    // One text across the whole bar, kept in a label: a status bar's own message would be
    // wiped by the menu's hover texts.
    StatusLabel = new StatusTextLabel(StatusBar1);
    StatusBar1->addWidget(StatusLabel, 1);
    // The run's file, rate and time left on the right, beside the status text, during a run.
    ProgressSection = new RunProgressSection(StatusBar1);
    StatusBar1->addPermanentWidget(ProgressSection);
    RunFollowers.Add(RunLog);
    RunFollowers.Add(*ProgressSection);
    // The box shows what the user typed or chose, nothing completed for them.
    CBoxPortName->setCompleter(nullptr);
    CBoxPortName->setEditText(FromSystemText(Texts::PortBoxInitialText));
    // Tab order: of Start, the port box and the progress bar only the first two take focus
    // (as on the original form), so Tab moves between Start and the port box.
    // The window fits its controls and keeps that size: no empty grey area to enlarge into.
    FitControlsToFont();
    move(453, 219);
    // Where the firmware files are read and the log is written.
    ButtonStart->setToolTip(
        QStringLiteral("Firmware folder: %1").arg(QDir::toNativeSeparators(FromLocalPath(Folder))));
    Ui->CBoxPortName->OnListOpening = [this] { RefreshComPorts(); };

    connect(ButtonStart, &QPushButton::clicked, this, [this] { ButtonStartClick(ButtonStart); });
    connect(Bench1, &QAction::triggered, this, [this] { Bench1Click(Bench1); });
    connect(Help1, &QAction::triggered, this, [this] { Help1Click(Help1); });
    // Only the user's changes: typing, and choosing an item (its text is in the edit by then).
    connect(CBoxPortName->lineEdit(), &QLineEdit::textEdited, this,
            [this] { CBoxPortNameChange(CBoxPortName); });
    connect(CBoxPortName, &QComboBox::activated, this,
            [this] { CBoxPortNameChange(CBoxPortName); });

    ReadPortSettings(Folder);
}

TForm1::~TForm1()
{
    // Closing is refused while a run lasts; should the window go all the same, its run ends
    // first (it shows itself in the window until then).
    Destroying = true;
    if (Session) {
        Session->Cancel();
        Session->Wait();
    }
}

void TForm1::ApplyFonts()
{
    setFont(DesignFont(11, false));
    LabelSend->setFont(DesignFont(16, true));
}

void TForm1::FitControlsToFont()
{
    // A stand-in font may be wider than the design font, a larger one taller: no caption or
    // text is cut, and the gaps of the design stay between the controls.
    const auto fitted = [](const QRect& design, QSize needed) {
        return QRect(design.topLeft(), design.size().expandedTo(needed));
    };
    const QRect label = fitted(LabelSendDesign, LabelSend->sizeHint());
    // The box's own hint asks for a pixel more than the design gives at the design font, where
    // its text has room: its height follows the font's line height instead.
    QRect portBox = fitted(PortBoxDesign, {CBoxPortName->minimumSizeHint().width(),
                                           CBoxPortName->fontMetrics().height() + 8});
    portBox.moveTop(std::max(PortBoxDesign.top(), label.bottom() + 1 + 4));
    QRect start = fitted(StartDesign, ButtonStart->sizeHint());
    start.moveLeft(std::max(StartDesign.left(), portBox.right() + 1 + 23));
    QRect progress = fitted(ProgressDesign, ProgressBar1->sizeHint());
    progress.moveLeft(std::max(ProgressDesign.left(), start.right() + 1 + 19));
    LabelSend->setGeometry(label);
    CBoxPortName->setGeometry(portBox);
    ButtonStart->setGeometry(start);
    ProgressBar1->setGeometry(progress);

    const int bottom = std::max({portBox.bottom(), start.bottom(), progress.bottom()}) + 1;
    const QSize client(std::max(ClientDesign.width(), progress.right() + 1 + 21),
                       std::max(ClientDesign.height(), bottom + 24));
    centralWidget()->setMinimumSize(client);
    // The bar lays its texts out later, as events come: its height follows the font from here.
    StatusBar1->setMinimumSize(
        client.width(), std::max(StatusBarDesignHeight, StatusBar1->fontMetrics().height() + 8));
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    setFixedSize(size());
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::FontChange && ProgressSection)
        FitControlsToFont();
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!Shown) {
        Shown = true;
        FormShow(this);
        ButtonStart->setFocus();
    }
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (!FormClose(this)) {
        event->ignore();
        return;
    }
    event->accept();
    // The program ends with its main window; the bench, idle now, goes with it.
    if (BenchForm)
        BenchForm->close();
}

void TForm1::FormShow(QObject* /*sender*/)
{
    ListComPorts();
    SetStatusText(QString());
}

bool TForm1::FormClose(QObject* /*sender*/)
{
    // Stopping a run half way could leave the receiver without a working firmware.
    if (UpdateRunning || (BenchForm && BenchForm->RunActive())) {
        MessageBox(Texts::UpdateInProgress, Texts::BoxCaption, MsgIcon::Warning);
        return false;
    }
    return true;
}

void TForm1::ShowRunProgress(bool running)
{
    ProgressBar1->setTextVisible(running);
    if (running)
        ProgressSection->BeginRun(FirmFiles->ToSend());
    else
        ProgressSection->EndRun();
}

void TForm1::EnableControls(bool enable)
{
    ButtonStart->setEnabled(enable);
    CBoxPortName->setEnabled(enable);
}

void TForm1::Help1Click(QObject* /*sender*/)
{
    HelpShowTableOfContents();
}

void TForm1::Bench1Click(QObject* /*sender*/)
{
    if (!BenchForm)
        BenchForm = std::make_unique<BenchWindow>(Folder);
    BenchForm->show();
    BenchForm->raise();
    BenchForm->activateWindow();
}

QString TForm1::StatusText() const
{
    return StatusLabel->text();
}

void TForm1::SetStatusText(const QString& text)
{
    StatusLabel->SetFullText(text);
    if (OnStatusText)
        OnStatusText(text);
}

QString TForm1::ShownStatusText() const
{
    return StatusLabel->ShownText();
}

void TForm1::CloseUpdateInProgressBox()
{
    const QString text = FromSystemText(Texts::UpdateInProgress);
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(widget);
            box && box->isVisible() && box->text() == text)
            box->done(QMessageBox::Ok);
}
