// SPDX-License-Identifier: MIT
// TForm1's port choice: filling the port box from the list of serial ports, and storing the
// user's choice in ComPortNumber and the settings file.
#include "StartUnit.h"

#include "Exceptions.h"
#include "Messages.h"
#include "PortSettings.h"
#include "SerialPortKey.h"
#include "SystemTexts.h"
#include "Win1252.h"

#include <QComboBox>
#include <algorithm>

namespace {

constexpr int MaxListedPorts = 19;

}  // namespace

std::unique_ptr<SerialPortKey> TForm1::OpenPortKey()
{
    return OpenSerialPortKey ? OpenSerialPortKey() : OpenSerialCommKey();
}

void TForm1::ListComPorts()
{
    const std::unique_ptr<SerialPortKey> key = OpenPortKey();
    const std::vector<std::string> names = key->ValueNames();

    if (CBoxPortName->count() > 0)
        CBoxPortName->setCurrentIndex(0);
    if (names.empty()) {
        MessageBox(Texts::NoComPort, Texts::BoxCaption, MsgIcon::Warning);
        return;  // the box keeps what it held
    }
    const int count = std::min(static_cast<int>(names.size()), MaxListedPorts);
    CBoxPortName->clear();
    CBoxPortName->clearEditText();
    int selected = -1;
    try {
        for (int i = 0; i < count; ++i) {
            const std::string& name = names[static_cast<size_t>(i)];
            CBoxPortName->addItem(FromSystemText(key->ReadString(name)));
            // Qt makes the first item of an empty box current; here only a match selects.
            CBoxPortName->setCurrentIndex(selected);
            CBoxPortName->setItemData(i, FromLocalPath(key->ToolTip(name)), Qt::ToolTipRole);
            // Later matches win: of COM10 and COM100 (both 10) the later one stays selected.
            if (PortNumberOfText(ToSystemText(CBoxPortName->itemText(i))) == ComPortNumber) {
                selected = i;
                CBoxPortName->setCurrentIndex(i);
            }
        }
    } catch (const ERegistryException&) {
        // A value that is not text: what was listed before it stays, with its selection.
        MessageBox(Texts::NoComPort, Texts::BoxCaption, MsgIcon::Warning);
    }
}

void TForm1::RefreshComPorts()
{
    const QString typed = CBoxPortName->currentText();
    const std::unique_ptr<SerialPortKey> key = OpenPortKey();
    const std::vector<std::string> names = key->ValueNames();
    const int count = std::min(static_cast<int>(names.size()), MaxListedPorts);
    // No signal of the box reaches CBoxPortNameChange from here: nothing is stored.
    CBoxPortName->clear();
    for (int i = 0; i < count; ++i) {
        const std::string& name = names[static_cast<size_t>(i)];
        try {
            CBoxPortName->addItem(FromSystemText(key->ReadString(name)));
        } catch (const ERegistryException&) {
            break;  // as at start-up, nothing after a value that is not text (and no box now)
        }
        CBoxPortName->setItemData(CBoxPortName->count() - 1, FromLocalPath(key->ToolTip(name)),
                                  Qt::ToolTipRole);
    }
    // The user's text stays; the item that shows it, if any, is the selected one.
    CBoxPortName->setCurrentIndex(CBoxPortName->findText(typed));
    CBoxPortName->setEditText(typed);
}

void TForm1::CBoxPortNameChange(QObject* /*sender*/)
{
    // A text that does not give a port number yet (while the user types) stores nothing and
    // reports nothing; a complete one is stored at once, also when the number is unchanged.
    const std::optional<uint8_t> number = TryPortNumberOfText(GetComPort());
    if (!number)
        return;
    ComPortNumber = *number;
    WritePortSettings(ComPortNumber, Folder);
}

std::string TForm1::GetComPort() const
{
    return ToSystemText(CBoxPortName->currentText());
}
