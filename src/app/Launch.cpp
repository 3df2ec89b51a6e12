#include "app/Launch.h"

#include <windows.h>

#include "app/CommandLine.h"
#include "common/Unique.h"

bool LaunchTool(std::wstring commandLine) {
    if (commandLine.size() > kMaxCommandLine) return false;

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION created{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &created))
        return false;
    // Neither handle is used: the front-end never waits for the tool.
    const UniqueHandle process(created.hProcess);
    const UniqueHandle thread(created.hThread);
    return true;
}
