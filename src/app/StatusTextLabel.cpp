// SPDX-License-Identifier: MIT
#include "StatusTextLabel.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

StatusTextLabel::StatusTextLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setObjectName(QStringLiteral("StatusText"));
}

void StatusTextLabel::SetFullText(const QString& text)
{
    setText(text);
    // Tooltips go to the first widget under the mouse that has one: the bar covers the label's
    // margins as well.
    if (parentWidget())
        parentWidget()->setToolTip(text);
    update();
}

QString StatusTextLabel::ShownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize StatusTextLabel::sizeHint() const
{
    return {1, QLabel::sizeHint().height()};
}

QSize StatusTextLabel::minimumSizeHint() const
{
    return {1, QLabel::minimumSizeHint().height()};
}

void StatusTextLabel::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), option.palette, isEnabled(),
                          ShownText(), foregroundRole());
}
