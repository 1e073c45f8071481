// Attaching to the editor's automation server, and the component-object system's lifetime
// on the user-interface thread.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include "host/dispatch.h"

// Looks the class up by its programmatic identifier and creates an object of it, in process or in
// a local server. A failure raises OleError carrying the code, with the system's text for it or
// "OLE error %.8X" as its message.
std::unique_ptr<HostDispatch> ConnectByProgId(const std::string& progId);

// Starts the component-object system for this thread (single-threaded apartment); true when it
// runs, also when it already ran on this thread.
bool ComStart();
// Stops it again, only when ComStart succeeded.
void ComStop(bool started);

#ifndef _WIN32
// Without a component-object system, programmatic identifiers name servers registered here
// (for tests). A factory may throw the error that the connection should raise.
using FakeServerFactory = std::function<std::unique_ptr<HostDispatch>()>;
void RegisterFakeServer(const std::string& progId, FakeServerFactory factory);
void UnregisterFakeServer(const std::string& progId);
#endif
