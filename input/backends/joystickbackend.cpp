#include "joystickbackend.h"

#include "sfmljoystickbackend.h"
#include "virtualjoystickbackend.h"

#include <QtGlobal>

namespace {
std::shared_ptr<JoystickBackend>& installed()
{
    static std::shared_ptr<JoystickBackend> backend;
    return backend;
}
} // namespace

quint32 JoystickBackend::buttonMask(int slot) const
{
    quint32 mask = 0;
    for (int b = 0; b < ButtonCount; ++b) {
        if (isButtonPressed(slot, b))
            mask |= 1u << b;
    }
    return mask;
}

namespace JoystickBackends {

std::shared_ptr<JoystickBackend> current()
{
    std::shared_ptr<JoystickBackend>& backend = installed();
    if (!backend) {
        const QString scenario = qEnvironmentVariable("JOYRELAY_VIRTUAL_PADS").trimmed();
        if (scenario.isEmpty())
            backend = std::make_shared<SfmlJoystickBackend>();
        else
            backend = VirtualJoystickBackend::fromScenarioFile(scenario);
    }
    return backend;
}

void install(std::shared_ptr<JoystickBackend> backend)
{
    installed() = std::move(backend);
}

} // namespace JoystickBackends
