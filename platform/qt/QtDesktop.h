#pragma once
// The entry of the desktop module: the loader finds it by name, so that a headless
// run never loads Qt. Nothing when no display can be opened.
#include "platform/Desktop.h"

extern "C" platform::Desktop* PelloraOpenDesktop(int& argc, char** argv, platform::MessageQueue& queue);
