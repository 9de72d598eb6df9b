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
        QStringLiteral("A line for every attempt in the folder's record, with its log kept"));
    NextReceiverButton = new QPushButton(QStringLiteral("&Next receiver"), this);
    NextReceiverButton->setToolTip(
        QStringLiteral("The current row's next receiver is connected: update it now"));
    StopAfterRunButton = new QPushButton(QStringLiteral("Stop after this r&un"), this);
    StopAfterRunButton->setToolTip(
        QStringLiteral("The current row ends once its run is over (a waiting row at once)"));
    StopAllButton = new QPushButton(QStringLiteral("Stop &all after this run"), this);
    StopAllButton->setToolTip(QStringLiteral("Every row ends once its run is over"));
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
    return {LoopBox->isChecked(), RetriesBox->value(), RecordBox->isChecked()};
}

void BenchLineControls::ShowState(bool running, bool rowActive, bool rowWaits)
{
    for (QWidget* setting : {static_cast<QWidget*>(LoopBox), static_cast<QWidget*>(RetriesBox),
                             static_cast<QWidget*>(RecordBox)})
        setting->setEnabled(!running);
    NextReceiverButton->setEnabled(running && rowWaits);
    StopAfterRunButton->setEnabled(running && rowActive);
    StopAllButton->setEnabled(running);
}
