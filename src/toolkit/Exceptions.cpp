// SPDX-License-Identifier: MIT
#include "Exceptions.h"

#include "SystemTexts.h"

EFCreateError MakeFCreateError(const std::string& fileName)
{
    return EFCreateError("Datei " + fileName + " kann nicht erstellt werden");
}

EWriteError MakeWriteError(const std::string& fileName)
{
    return EWriteError("Fehler beim Schreiben in " + fileName);
}

ERangeError MakeRangeError()
{
    return ERangeError(Texts::RangeErrorText);
}

EConvertError MakeConvertError(const std::string& text)
{
    const std::string format = Texts::ConvertErrorFormat;
    const auto at = format.find("%s");
    return EConvertError(format.substr(0, at) + text + format.substr(at + 2));
}
