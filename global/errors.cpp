#include "global/errors.h"

std::string Format(const std::string& pattern, const std::string& value)
{
    std::string text = pattern;
    const auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}
