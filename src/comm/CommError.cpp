// SPDX-License-Identifier: MIT
#include "comm_port.h"

#include "Messages.h"
#include "PortErrorAdvice.h"
#include "SystemTexts.h"

#include <cerrno>

ECommError::ECommError(uint8_t code) : Code(code), LastError(static_cast<uint32_t>(errno))
{
    // errno is taken before anything else runs; the box comes before the throw.
    const int saved = errno;
    MessageBox(Texts::ComErrorBoxText, Texts::ComErrorBoxCaption, MsgIcon::Warning,
               PortErrorAdvice(LastError));
    errno = saved;
}
