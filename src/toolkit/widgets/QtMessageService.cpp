// SPDX-License-Identifier: MIT
#include "QtMessageService.h"

#include "Win1252.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>
#include <utility>
#include <vector>

namespace {

QMessageBox::Icon BoxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Room for the caption in the title bar (its text plus the window manager's icon and buttons),
// and for whole lines of the details when there are any.
void MakeRoom(QMessageBox& box)
{
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    int width = QFontMetrics(QApplication::font("QWorkspaceTitleBar"))
                    .horizontalAdvance(box.windowTitle()) +
                160;
    if (!box.detailedText().isEmpty()) {
        width = std::max(width, box.fontMetrics().averageCharWidth() * 72);
        if (auto* details = box.findChild<QTextEdit*>())
            details->setMinimumHeight(box.fontMetrics().lineSpacing() * 12);
    }
    // In the first row, beside the text: a row of its own would add its spacing.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), 0, 0, 1,
                  grid->columnCount());
}

}  // namespace

void QtMessageService::Show(const MessageBoxRequest& request)
{
    Ask(request);
}

std::string QtMessageService::Ask(const MessageBoxRequest& request)
{
    // The plain dialog (no icon) is centred on the screen; the others belong to the main
    // window (else the active one), so they are centred on it and stay above it. Between two
    // boxes no window is active: the main window keeps the second box in its place.
    QWidget* parent = nullptr;
    if (request.Icon != MsgIcon::None)
        parent = Owner && Owner->isVisible() ? Owner.data() : QApplication::activeWindow();
    QMessageBox box(BoxIcon(request.Icon), FromSystemText(request.Caption),
                    FromSystemText(request.Text), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ZendrakMessageBox"));
    box.setTextFormat(Qt::PlainText);
    if (!request.Details.empty())
        box.setDetailedText(FromSystemText(request.Details));
    // Beside OK, which stays the button that Enter and Escape press: a second action is only
    // ever taken on purpose.
    std::vector<std::pair<QAbstractButton*, std::string>> extras;
    for (const std::string& text : request.ExtraButtons)
        extras.emplace_back(box.addButton(FromSystemText(text), QMessageBox::AcceptRole), text);
    if (!extras.empty()) {
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    MakeRoom(box);
    // A message box settles its size only as it is shown, after it has been placed: centre it
    // again once it is up.
    QTimer::singleShot(0, &box, [&box] {
        const QWidget* over = box.parentWidget();
        const QRect area = over           ? over->frameGeometry()
                           : box.screen() ? box.screen()->availableGeometry()
                                          : QRect();
        if (area.isValid()) {
            QRect frame = box.frameGeometry();
            frame.moveCenter(area.center());
            box.move(frame.topLeft());
        }
    });
    box.exec();
    for (const auto& [button, text] : extras)
        if (box.clickedButton() == button)
            return text;
    return {};
}
