// Process entry: the main window is the start-up object; everything else runs in its events.
#include <windows.h>

#include "app/Dpi.h"
#include "app/Form1.h"
#include "app/SystemLibrary.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    RestrictLibrarySearch();  // before anything can load a library on the program's behalf
    DeclareDpiAwareness();    // before any window exists
    Form1 form;
    if (!form.Create(instance)) return 1;
    form.Show(showCommand);

    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
        if (form.PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // -1 is a failure, after which msg holds nothing; 0 is WM_QUIT with the exit code.
    return got < 0 ? 1 : static_cast<int>(msg.wParam);
}
