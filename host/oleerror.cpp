// Implements the error messages of late-bound calls and of the connection.
#include <cstdio>
#include "host/oleerror.h"

namespace {
SystemTextSource g_textSource = nullptr;
}

std::string TrimMessageTail(std::string text)
{
    while (!text.empty()) {
        const auto c = static_cast<unsigned char>(text.back());
        if (c > ' ' && c != '.')
            break;
        text.pop_back();
    }
    return text;
}

std::string OleErrorCodeText(uint32_t code)
{
    char buf[24];
    std::snprintf(buf, sizeof buf, "OLE error %.8X", static_cast<unsigned>(code));
    return buf;
}

SystemTextSource SetSystemTextSource(SystemTextSource source)
{
    const SystemTextSource previous = g_textSource;
    g_textSource = source;
    return previous;
}

std::string SystemText(uint32_t code)
{
    return TrimMessageTail(g_textSource ? g_textSource(code) : PlatformSystemText(code));
}

std::string OleErrorMessage(uint32_t code)
{
    std::string text = SystemText(code);
    return text.empty() ? OleErrorCodeText(code) : text;
}

uint32_t ExceptionCode(const HostException& exception)
{
    if (exception.scode != 0)
        return exception.scode;
    if (exception.wCode != 0)
        return 0x80040000u + exception.wCode;
    return kDispException;
}

OleError ExceptionError(HostException& exception)
{
    if (exception.fillIn) {
        auto fill = std::move(exception.fillIn);
        exception.fillIn = nullptr;
        fill(exception);
    }
    const uint32_t code = ExceptionCode(exception);
    std::string text = TrimMessageTail(exception.description);
    if (text.empty())
        text = OleErrorMessage(code);
    return OleError(text, code);
}

OleError UnknownNameError(const char* name, uint32_t code)
{
    return OleError(Format("Method '%s' not supported by automation object", name), code);
}

void RaiseCallFailure(uint32_t code, const char* name, HostException* exception)
{
    // Only a name the object lacks gets its own text; a member that the call itself does not
    // find is a failure like any other.
    if (code == kDispUnknownName)
        throw UnknownNameError(name, code);
    if (code == kDispException && exception)
        throw ExceptionError(*exception);
    throw OleError(OleErrorMessage(code), code);
}
