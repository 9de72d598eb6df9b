// SPDX-License-Identifier: MIT
#include "comm_port.h"

#include <cerrno>
#include <utility>

ECommError::ECommError(uint8_t code) : ECommError(code, std::vector<PortHolder>{}) {}

// errno is taken before anything else runs. No box is shown here: the error is a value that
// travels to whoever started the run, and each front end tells its user (a box, a line).
ECommError::ECommError(uint8_t code, std::vector<PortHolder> holders, std::string detail)
    : Code(code),
      LastError(static_cast<uint32_t>(errno)),
      Holders(std::move(holders)),
      Detail(std::move(detail))
{
}
