// The Win32 rendering of TMe: the main window, its controls and the modal dialogs.
#pragma once
#include "app/Main.h"
#include "global/windows_support.h"

// Creates the (still hidden) main window from its description and binds it to form.
HWND CreateMainWindow(HINSTANCE instance, TMe& form);
