// Process entry: the main window is the start-up object; everything else runs in its events.
#include <windows.h>

#include "app/Form1.h"
#include "app/SystemLibrary.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    RestrictLibrarySearch();  // before anything can load a library on the program's behalf
    Form1 form;
    if (!form.Create(instance)) return 1;
    form.Show(showCommand);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.PreTranslateMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
