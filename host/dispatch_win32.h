// Windows-only helpers shared by the host link's *_win32.cpp files. Only they include this.
#pragma once
#include <memory>
#include <string>
#include "host/dispatch.h"

struct IDispatch;

// Takes over one reference to p, which the returned object releases.
std::unique_ptr<HostDispatch> AdoptDispatch(IDispatch* p);

// Conversions between the ANSI code page and UTF-16 at the automation boundary.
std::wstring WidenAnsi(const std::string& text);
std::string NarrowAnsi(const wchar_t* text, size_t length);
