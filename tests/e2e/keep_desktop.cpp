// Keeps Wine's desktop in use through a whole test or benchmark run. Wine ends a prefix's
// desktop process a moment after the last program using it has gone, and the next program
// starts a new one: inside a test, where it would hold CTest's output open, or under the
// benchmark's tool while it starts. scripts/test.sh starts this in each prefix before CTest,
// scripts/bench.sh in its own; ending the prefix's Wine ends it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    GetDesktopWindow();  // joins the desktop
    Sleep(INFINITE);
    return 0;
}
