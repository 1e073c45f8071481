// Connection and system texts where there is no component-object system.
// Programmatic identifiers name servers that tests register in memory.
#include <map>
#include "host/connect.h"
#include "host/oleerror.h"

namespace {
std::map<std::string, FakeServerFactory>& Servers()
{
    static std::map<std::string, FakeServerFactory> servers;
    return servers;
}
}  // namespace

void RegisterFakeServer(const std::string& progId, FakeServerFactory factory)
{
    Servers()[progId] = std::move(factory);
}

void UnregisterFakeServer(const std::string& progId)
{
    Servers().erase(progId);
}

std::unique_ptr<HostDispatch> ConnectByProgId(const std::string& progId)
{
    const auto it = Servers().find(progId);
    if (it == Servers().end())
        throw OleError(OleErrorMessage(kClassStringInvalid), kClassStringInvalid);
    std::unique_ptr<HostDispatch> object = it->second();
    if (!object) {
        constexpr uint32_t kNoInterface = 0x80004002;
        throw OleError(OleErrorMessage(kNoInterface), kNoInterface);
    }
    return object;
}

bool ComStart()
{
    return true;
}

void ComStop(bool)
{
}

