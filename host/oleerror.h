// The errors of late-bound calls and of the connection, built from automation result codes.
// Portable rules; the platform parts only hand over the codes and descriptions they got.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include "global/errors.h"

// Result codes the call machinery tells apart (their values are fixed by the automation system).
constexpr uint32_t kDispMemberNotFound = 0x80020003;
constexpr uint32_t kDispUnknownName = 0x80020006;
constexpr uint32_t kDispException = 0x80020009;
constexpr uint32_t kDispTypeMismatch = 0x80020005;
constexpr uint32_t kDispBadParamCount = 0x8002000E;
constexpr uint32_t kClassStringInvalid = 0x800401F3;  // no class registered for a programmatic identifier
constexpr uint32_t kRpcServerUnavailable = 0x800706BA;
constexpr uint32_t kRpcCallFailed = 0x800706BE;

inline bool IsFailure(uint32_t code) { return (code & 0x80000000u) != 0; }

// An error that came from a result code; the message is what the user sees, code() what tests match.
class OleError : public Error {
public:
    OleError(const std::string& message, uint32_t code) : Error(message), code_(code) {}
    uint32_t code() const { return code_; }

private:
    uint32_t code_;
};

// Strips from the end every blank, control character and full stop (bytes up to ' ', and '.').
std::string TrimMessageTail(std::string text);

// "OLE error 80020009": the code as eight upper-case hexadecimal digits.
std::string OleErrorCodeText(uint32_t code);

// The system's text for a code, trimmed as above; empty when the system has none.
// Tests may install their own source of texts; passing nullptr restores the system's.
using SystemTextSource = std::string (*)(uint32_t code);
// The platform's own source, untrimmed (Windows: FormatMessageA; elsewhere there is none).
std::string PlatformSystemText(uint32_t code);
SystemTextSource SetSystemTextSource(SystemTextSource source);
std::string SystemText(uint32_t code);

// The system's text for a code, or "OLE error %.8X" when it has none.
std::string OleErrorMessage(uint32_t code);

// What the editor reported with DISP_E_EXCEPTION. fillIn, when set, completes the other fields
// first (the editor may defer filling in its description until the caller asks for it).
struct HostException {
    std::string description;  // already in the ANSI code page
    uint32_t scode = 0;
    uint16_t wCode = 0;
    std::function<void(HostException&)> fillIn;
};

// The code an exception stands for: its scode; when that is 0, an application code wCode counts as
// 0x80040000 + wCode (an interface-specific error); with neither, DISP_E_EXCEPTION itself.
uint32_t ExceptionCode(const HostException& exception);

// The message for an exception: its description trimmed, else the system's text for its code,
// else "OLE error %.8X". Runs the deferred fill-in first.
OleError ExceptionError(HostException& exception);

// "Method '%s' not supported by automation object", with the name as the caller wrote it.
OleError UnknownNameError(const char* name, uint32_t code = kDispUnknownName);

// Raises the error for a failed call of name: unknown name or missing member, an exception the
// editor reported (exception may be null when it gave none), or any other failure code.
[[noreturn]] void RaiseCallFailure(uint32_t code, const char* name, HostException* exception = nullptr);
