#pragma once

#include <QLoggingCategory>

// "hx.plugin.gamepad.input": calibration reloads and mapping resolution (debug on).
Q_DECLARE_LOGGING_CATEGORY(lcGamepadInput)
// "hx.plugin.gamepad.input.axis": per-change lines; debug only when logging rules enable it.
Q_DECLARE_LOGGING_CATEGORY(lcGamepadAxis)
// "hx.plugin.gamepad.ui": editor widgets (debug on).
Q_DECLARE_LOGGING_CATEGORY(lcGamepadUi)
