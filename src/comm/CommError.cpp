// SPDX-License-Identifier: MIT
#include "comm_port.h"

#include "Messages.h"
#include "PortErrorAdvice.h"
#include "SystemTexts.h"

#include <cerrno>
#include <utility>

ECommError::ECommError(uint8_t code) : ECommError(code, std::vector<PortHolder>{}) {}

ECommError::ECommError(uint8_t code, std::vector<PortHolder> holders, std::string detail)
    : Code(code),
      LastError(static_cast<uint32_t>(errno)),
      Holders(std::move(holders)),
      Detail(std::move(detail))
{
    // errno is taken before anything else runs; the box comes before the throw.
    const int saved = errno;
    MessageBox(Texts::ComErrorBoxText, Texts::ComErrorBoxCaption, MsgIcon::Warning,
               PortErrorAdvice(*this));
    errno = saved;
}
