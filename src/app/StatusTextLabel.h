// SPDX-License-Identifier: MIT
// The status bar's one text. It keeps the whole text (text() returns it unchanged) but paints a
// text too long for the bar shortened in the middle, so a path keeps its file name in view;
// the bar's tooltip holds the whole text. It never asks for more width than the bar has.
#pragma once

#include <QLabel>

class StatusTextLabel : public QLabel {
public:
    explicit StatusTextLabel(QWidget* parent = nullptr);

    // Sets the text and the tooltip of the status bar that holds the label.
    void SetFullText(const QString& text);
    // The text as painted now (the whole text when it fits).
    QString ShownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
