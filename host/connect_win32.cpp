// Windows part of the connection: class lookup by programmatic identifier, object creation,
// and the component-object system's lifetime. Only Windows code belongs here.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include "host/connect.h"
#include "host/dispatch_win32.h"
#include "host/oleerror.h"

namespace {
[[noreturn]] void RaiseConnectFailure(HRESULT hr)
{
    const auto code = static_cast<uint32_t>(hr);
    throw OleError(OleErrorMessage(code), code);
}
}  // namespace

std::unique_ptr<HostDispatch> ConnectByProgId(const std::string& progId)
{
    const std::wstring wide = WidenAnsi(progId);
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(wide.c_str(), &clsid);
    if (FAILED(hr))
        RaiseConnectFailure(hr);
    IDispatch* object = nullptr;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&object));
    if (FAILED(hr))
        RaiseConnectFailure(hr);
    return AdoptDispatch(object);
}

bool ComStart()
{
    // S_FALSE: already started on this thread, which counts as started (and wants its own stop).
    const HRESULT hr = CoInitialize(nullptr);
    return hr == S_OK || hr == S_FALSE;
}

void ComStop(bool started)
{
    if (started)
        CoUninitialize();
}
