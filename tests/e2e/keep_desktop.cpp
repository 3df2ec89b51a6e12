// Keeps Wine's desktop in use through a whole test run. Wine ends a prefix's desktop process
// a moment after the last program using it has gone, and the next program starts a new one:
// inside a test, where it would hold CTest's output open. scripts/test.sh starts this in each
// prefix before CTest; ending the prefix's Wine ends it.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    GetDesktopWindow();  // joins the desktop
    Sleep(INFINITE);
    return 0;
}
