// SPDX-License-Identifier: MIT
#include "QtMessageService.h"

#include "Win1252.h"

#include <QApplication>
#include <QMessageBox>

namespace {

QMessageBox::Icon BoxIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::Warning:
        return QMessageBox::Warning;
    case MsgIcon::Error:
        return QMessageBox::Critical;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void QtMessageService::Show(const MessageBoxRequest& request)
{
    // The plain dialog (no icon) is centred on the screen; the others belong to the active
    // window, so they stay above it.
    QWidget* parent = request.Icon == MsgIcon::None ? nullptr : QApplication::activeWindow();
    QMessageBox box(BoxIcon(request.Icon), FromSystemText(request.Caption),
                    FromSystemText(request.Text), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("ZendrakMessageBox"));
    box.setTextFormat(Qt::PlainText);
    if (!request.Details.empty())
        box.setDetailedText(FromSystemText(request.Details));
    box.exec();
}
