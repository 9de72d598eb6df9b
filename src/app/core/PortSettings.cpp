// SPDX-License-Identifier: MIT
#include "PortSettings.h"

#include "AtomicFile.h"
#include "Exceptions.h"
#include "Messages.h"
#include "SmallFile.h"
#include "SystemTexts.h"
#include "comm_port.h"

uint8_t ComPortNumber = 1;

namespace {

std::string SettingsFilePath(const std::string& folder)
{
    return folder.empty() ? Texts::SettingsFileName : folder + "/" + Texts::SettingsFileName;
}

}  // namespace

SavedPortNumber ReadSavedPortNumber(const std::string& folder)
{
    // Only the first byte counts; a second one read tells nothing but that there is more.
    const SmallFileRead file = ReadSmallFile(SettingsFilePath(folder), 1);
    SavedPortNumber saved;
    if (file.Status != SmallFileStatus::Ok && file.Status != SmallFileStatus::TooLarge)
        saved.Unreadable = true;
    else if (!file.Bytes.empty())
        saved.Number = static_cast<uint8_t>(file.Bytes[0]);
    return saved;
}

void ReadPortSettings(const std::string& folder)
{
    const SavedPortNumber saved = ReadSavedPortNumber(folder);
    if (saved.Unreadable)
        MessageBox(Texts::ErrorOpenSettings, Texts::BoxCaption, MsgIcon::Warning);
    else if (saved.Number)
        ComPortNumber = *saved.Number;
}

bool WritePortSettings(uint8_t number, const std::string& folder)
{
    const std::string bytes(1, static_cast<char>(number));
    if (ReplaceFileInPlace(SettingsFilePath(folder), bytes) == AtomicWriteResult::Ok)
        return true;
    ShowMessage(Texts::SettingsNotSaved);
    return false;
}

namespace {

// One character converted as a decimal number, as the toolkit's integer conversion does it.
uint8_t DigitAt(const std::string& text, size_t position)
{
    if (position > text.size())
        throw MakeRangeError();
    const char c = text[position - 1];
    if (c < '0' || c > '9')
        throw MakeConvertError(std::string(1, c));
    return static_cast<uint8_t>(c - '0');
}

}  // namespace

uint8_t PortNumberOfText(const std::string& text)
{
    uint8_t number = DigitAt(text, 4);
    if (text.size() > 4)
        number = static_cast<uint8_t>(number * 10 + DigitAt(text, 5));
    return number;
}

std::optional<uint8_t> TryPortNumberOfText(const std::string& text)
{
    try {
        return PortNumberOfText(text);
    } catch (const ERangeError&) {
    } catch (const EConvertError&) {
    }
    return std::nullopt;
}

void ConfigureCommPort(TCommPort& port, uint8_t portNumber)
{
    port.SetCommPort(std::to_string(portNumber));
    port.SetBaudRate(LinkBaudRate);
    port.SetByteSize(8);
    port.SetParity(NOPARITY);
    port.SetStopBits(ONESTOPBIT);
}
