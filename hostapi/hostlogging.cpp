#include "hostlogging.h"

Q_LOGGING_CATEGORY(lcGamepadInput, "hx.plugin.gamepad.input")
Q_LOGGING_CATEGORY(lcGamepadAxis, "hx.plugin.gamepad.input.axis", QtWarningMsg)
Q_LOGGING_CATEGORY(lcGamepadUi, "hx.plugin.gamepad.ui")
