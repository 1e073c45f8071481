// Program entry of vexmold.exe: start-up, the message loop and shut-down, in a fixed order that
// does not depend on the order in which the compiler initialises files.
#include "app/Main.h"
#include "app/form_win32.h"
#include "global/global.h"
#include "host/connect.h"
#include "settings/M_Registery.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    // 1. Module start-up, in dependency order: the automation support installs the late-bound
    //    calls (nothing to do here: they are plain C++), global and Main have nothing to run, and
    //    the settings module creates its settings object.
    M_Registery_Initialize();

    // 2. The application starts the component-object system for this thread.
    const bool comStarted = ComStart();

    // 3. Title and 4. the main window, not yet visible.
    Me = new TMe;
    HWND main = CreateMainWindow(instance, *Me);
    if (!main) {
        MessageBoxA(nullptr, "Cannot create the main window", ApplicationTitle, MB_OK | MB_ICONERROR);
    } else {
        // 5. Showing the window runs its show handler first, before anything is drawn.
        Me->Dispatch([] { Me->FormShow(nullptr); });
        ShowWindow(main, SW_SHOWNORMAL);
        UpdateWindow(main);

        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // 6. Shut-down: the windows go first...
        DestroyWindow(main);
    }
    delete Me;
    Me = nullptr;

    // ...then the modules close in reverse order: the settings module has nothing to run, global
    // releases the editor's objects, and the automation support stops the component-object system.
    M_Registery_Finalize();
    global_Finalize();
    ComStop(comStarted);
    return 0;
}
