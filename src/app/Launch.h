// Starts the tool as a process of its own.
#pragma once

#include <string>

// Shown normally and activated, inheriting no handles, with the front-end's own working
// folder and environment. False when it cannot be started, or the line is too long for
// the platform (refused here so that every platform behaves alike).
bool LaunchTool(std::wstring commandLine);
