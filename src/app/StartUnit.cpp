// SPDX-License-Identifier: MIT
// TForm1's construction, its show and close handling, its status text and its controls' state.
#include "StartUnit.h"

#include "MainThread.h"
#include "Messages.h"
#include "PortComboBox.h"
#include "PortSettings.h"
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

}  // namespace

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), Ui(std::make_unique<Ui::TForm1>())
{
    InitWindowResources();
    Ui->setupUi(this);
    StatusBar1 = Ui->StatusBar1;
    CBoxPortName = Ui->CBoxPortName;
    ButtonStart = Ui->ButtonStart;
    ProgressBar1 = Ui->ProgressBar1;
    LabelSend = Ui->LabelSend;
    MainMenu1 = Ui->MainMenu1;
    Help1 = Ui->Help1;

    setWindowIcon(QIcon(QStringLiteral(":/icons/zendrak-32.png")));
    ApplyFonts();
    // One text across the whole bar, kept in a label: a status bar's own message would be
    // wiped by the menu's hover texts.
    StatusLabel = new StatusTextLabel(StatusBar1);
    StatusBar1->addWidget(StatusLabel, 1);
    // The box shows what the user typed or chose, nothing completed for them.
    CBoxPortName->setCompleter(nullptr);
    CBoxPortName->setEditText(FromSystemText(Texts::PortBoxInitialText));
    // Tab order: of Start, the port box and the progress bar only the first two take focus
    // (as on the original form), so Tab moves between Start and the port box.
    // The window fits its controls and keeps that size: no empty grey area to enlarge into.
    adjustSize();
    setFixedSize(size());
    move(453, 219);
    // Where the firmware files are read and the log is written.
    ButtonStart->setToolTip(
        QStringLiteral("Firmware folder: %1").arg(QDir::toNativeSeparators(QDir::currentPath())));
    Ui->CBoxPortName->OnListOpening = [this] { RefreshComPorts(); };

    FirmFiles.ShowStatusText = [this](const std::string& path) {
        // Called on the worker: the status line changes on the user-interface thread, and the
        // worker waits until it has.
        const QString text = FromLocalPath(path);
        RunOnMainThread([this, &text] { SetStatusText(text); });
    };

    connect(ButtonStart, &QPushButton::clicked, this, [this] { ButtonStartClick(ButtonStart); });
    connect(Help1, &QAction::triggered, this, [this] { Help1Click(Help1); });
    // Only the user's changes: typing, and choosing an item (its text is in the edit by then).
    connect(CBoxPortName->lineEdit(), &QLineEdit::textEdited, this,
            [this] { CBoxPortNameChange(CBoxPortName); });
    connect(CBoxPortName, &QComboBox::activated, this,
            [this] { CBoxPortNameChange(CBoxPortName); });

    ReadPortSettings();
}

TForm1::~TForm1() = default;

void TForm1::ApplyFonts()
{
    setFont(DesignFont(11, false));
    LabelSend->setFont(DesignFont(16, true));
    // A stand-in font may be wider than the design font: the caption must not be cut.
    LabelSend->resize(std::max(LabelSend->width(), LabelSend->sizeHint().width()),
                      LabelSend->height());
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
    if (FormClose(this))
        event->accept();
    else
        event->ignore();
}

void TForm1::FormShow(QObject* /*sender*/)
{
    ListComPorts();
    SetStatusText(QString());
}

bool TForm1::FormClose(QObject* /*sender*/)
{
    // Stopping the worker half way could leave the receiver without a working firmware.
    if (UpdateRunning) {
        MessageBox(Texts::UpdateInProgress, Texts::BoxCaption, MsgIcon::Warning);
        return false;
    }
    return true;
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
