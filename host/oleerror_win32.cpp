// Windows part of the call errors: the system's text for a result code.
// Only Windows code belongs here.
#include <windows.h>
#include "host/oleerror.h"

std::string PlatformSystemText(uint32_t code)
{
    char buffer[1024];
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        code, 0, buffer, sizeof buffer, nullptr);
    return std::string(buffer, length);
}
