// System texts where there is no component-object system: there are none.
#include "host/oleerror.h"

std::string PlatformSystemText(uint32_t)
{
    return {};
}
