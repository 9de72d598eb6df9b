// SPDX-License-Identifier: MIT
#include "PortProblem.h"

#include "PortErrorAdvice.h"
#include "PortErrors.h"
#include "PortSpec.h"
#include "SettlingOpen.h"
#include "SystemTexts.h"
#include "Win1252.h"
#include "comm_port.h"

#include <cerrno>
#include <cstring>

namespace {

PortProblem::Kind KindOf(const ECommError& error, bool mapped)
{
    const int system = static_cast<int>(error.LastError);
    const bool gone = system == EIO || system == ENXIO || system == ENODEV;
    switch (error.Code) {
    case 8:
        if (!mapped)
            return PortProblem::Kind::NotMapped;
        if (!error.Holders.empty() || system == EBUSY)
            return PortProblem::Kind::Held;
        return PortProblem::Kind::CannotOpen;
    case 1:
    case 3:
    case 4:
    case 5:
    case 14:
    case 15:
    case 16:
    case 17: return PortProblem::Kind::CannotOpen;
    case 9: return gone ? PortProblem::Kind::Vanished : PortProblem::Kind::WriteFailed;
    case 10: return gone ? PortProblem::Kind::Vanished : PortProblem::Kind::ReadFailed;
    default: break;
    }
    return PortProblem::Kind::Other;
}

}  // namespace

PortProblem PortProblemOf(const PortSpec& port, const ECommError& error, bool whileOpening)
{
    PortProblem problem;
    problem.Port = port.Text();
    problem.Code = error.Code;
    problem.LastError = error.LastError;
    problem.Holders = error.Holders;
    problem.WhileOpening = whileOpening;
    // A COM number says which device it stands for, or why it stands for none.
    std::string tried = port.Text();
    bool mapped = true;
    if (port.Type() == PortSpec::Kind::ComNumber) {
        const PortResolution resolution = port.Resolve();
        mapped = resolution.Device.has_value();
        if (mapped)
            tried += " (" + *resolution.Device + ")";
        else
            problem.Description = resolution.Problem;
    }
    problem.What = KindOf(error, mapped);
    if (problem.Description.empty()) {
        std::string advice = PortErrorAdvice(error);
        // A network port's account opens with its address, which `tried` names already.
        if (const std::optional<NetAddress> address = port.Address()) {
            const std::string named = address->Text() + ": ";
            if (advice.rfind(named, 0) == 0)
                advice.erase(0, named.size());
        }
        problem.Description = tried + ": " +
                              (advice.empty() ? "the port could not be set up (error code " +
                                                    std::to_string(error.Code) + ")."
                                              : advice);
    }
    return problem;
}

std::vector<MessageBoxRequest> PortProblemBoxes(const PortProblem& problem)
{
    std::vector<MessageBoxRequest> boxes = {
        {Texts::ComErrorBoxText, Texts::ComErrorBoxCaption, MsgIcon::Warning,
         ToSystemText(QString::fromUtf8(problem.Description.c_str()))}};
    if (problem.WhileOpening) {
        const auto more =
            ComErrorBoxes(problem.Code, ToSystemText(QString::fromUtf8(problem.Port.c_str())));
        boxes.insert(boxes.end(), more.begin(), more.end());
    }
    return boxes;
}

std::optional<PortProblem> OpenReceiverPort(TCommPort& port, const PortSpec& named,
                                            std::chrono::milliseconds settle,
                                            const std::function<bool()>& stop)
{
    try {
        named.Configure(port);
        if (settle.count() > 0)
            OpenCommPortSettling(port, settle, stop);
        else
            port.OpenCommPort();
        return std::nullopt;
    } catch (const ECommError& error) {
        return PortProblemOf(named, error, true);
    }
}
