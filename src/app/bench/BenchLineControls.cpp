// SPDX-License-Identifier: MIT
#include "BenchLineControls.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The most attempts after the first that a run may take.
constexpr int MostRetries = 9;

}  // namespace

BenchLineControls::BenchLineControls(QWidget* parent) : QWidget(parent)
{
    LoopBox = new QCheckBox(QStringLiteral("Ne&xt receiver starts by itself"), this);
    LoopBox->setToolTip(QStringLiteral(
        "After each update the port waits for the next receiver on its cable and updates it"));
    auto* retriesLabel = new QLabel(QStringLiteral("&Retries:"), this);
    RetriesBox = new QSpinBox(this);
    RetriesBox->setRange(0, MostRetries);
    RetriesBox->setToolTip(QStringLiteral(
        "How often a run that failed on the line or at the receiver is tried again"));
    retriesLabel->setBuddy(RetriesBox);
    RecordBox = new QCheckBox(QStringLiteral("&Keep a record"), this);
    RecordBox->setToolTip(
        QStringLiteral("A line for every attempt in zendrak-history.csv, with its log kept "
                       "under logs/ (always with the next receiver or retries)"));
    NextReceiverButton = new QPushButton(QStringLiteral("&Next receiver"), this);
    NextReceiverButton->setToolTip(
        QStringLiteral("The current row's next receiver is connected: update it now"));
    StopAfterRunButton = new QPushButton(QStringLiteral("Stop after this r&un"), this);
    StopAfterRunButton->setToolTip(
        QStringLiteral("The current row ends once its run is over (a waiting row at once)"));
    StopAllButton = new QPushButton(QStringLiteral("Stop &all after this run"), this);
    StopAllButton->setToolTip(QStringLiteral("Every row ends once its run is over"));
    connect(RecordBox, &QCheckBox::clicked, this, [this](bool on) { RecordChosen = on; });
    connect(LoopBox, &QCheckBox::toggled, this, [this] { FollowLineSettings(); });
    connect(RetriesBox, &QSpinBox::valueChanged, this, [this] { FollowLineSettings(); });
    connect(NextReceiverButton, &QPushButton::clicked, this, [this] {
        if (OnNextReceiver)
            OnNextReceiver();
    });
    connect(StopAfterRunButton, &QPushButton::clicked, this, [this] {
        if (OnStopAfterRun)
            OnStopAfterRun();
    });
    connect(StopAllButton, &QPushButton::clicked, this, [this] {
        if (OnStopAllAfterRun)
            OnStopAllAfterRun();
    });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(LoopBox);
    layout->addSpacing(fontMetrics().averageCharWidth() * 2);
    layout->addWidget(retriesLabel);
    layout->addWidget(RetriesBox);
    layout->addSpacing(fontMetrics().averageCharWidth() * 2);
    layout->addWidget(RecordBox);
    layout->addStretch(1);
    layout->addWidget(NextReceiverButton);
    layout->addWidget(StopAfterRunButton);
    layout->addWidget(StopAllButton);
    ShowState(false, false, false);
}

BenchLineSettings BenchLineControls::Settings() const
{
    const bool line = LoopBox->isChecked() || RetriesBox->value() > 0;
    return {LoopBox->isChecked(), RetriesBox->value(), line || RecordBox->isChecked()};
}

void BenchLineControls::FollowLineSettings()
{
    const bool line = LoopBox->isChecked() || RetriesBox->value() > 0;
    RecordBox->setChecked(line || RecordChosen);
    RecordBox->setEnabled(!line && LoopBox->isEnabled());
}

void BenchLineControls::ShowState(bool running, bool rowActive, bool rowWaits)
{
    LoopBox->setEnabled(!running);
    RetriesBox->setEnabled(!running);
    FollowLineSettings();
    NextReceiverButton->setEnabled(running && rowWaits);
    StopAfterRunButton->setEnabled(running && rowActive);
    StopAllButton->setEnabled(running);
}
