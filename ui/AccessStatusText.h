#pragma once
#include "platform/Window.h"

// The access mode in the status bar's second part.
void UpdateAccessStatusText(platform::Window& window);
