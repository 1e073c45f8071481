// The stand-in editor's call log, injected faults, write-back and text helpers.
#include "levelhost/server_win32.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace levelhost {

// ---- CallLog

CallLog::~CallLog()
{
    if (file_ != INVALID_HANDLE_VALUE)
        CloseHandle(file_);
}

bool CallLog::Open(const std::string& path)
{
    // Shared for reading and writing: tests read the log while the stand-in runs.
    file_ = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
    return file_ != INVALID_HANDLE_VALUE;
}

void CallLog::Line(const std::string& text)
{
    if (file_ == INVALID_HANDLE_VALUE)
        return;
    const std::string line = text + "\n";
    DWORD written = 0;
    WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// ---- Faults

namespace {

bool SameText(const std::string& a, const char* b)
{
    return lstrcmpiA(a.c_str(), b) == 0;
}

bool SplitSpec(const std::string& spec, Selector& selector, std::string& value, std::string& error)
{
    const auto eq = spec.find('=');
    if (eq == std::string::npos || eq == 0) {
        error = "expected OP=VALUE, got '" + spec + "'";
        return false;
    }
    const std::string op = spec.substr(0, eq);
    value = spec.substr(eq + 1);
    const auto dot = op.find('.');
    if (dot == std::string::npos) {
        selector.kind.clear();
        selector.op = op;
    } else {
        selector.kind = op.substr(0, dot);
        selector.op = op.substr(dot + 1);
        if (!(SameText(selector.kind, "app") || SameText(selector.kind, "level") || SameText(selector.kind, "sector") ||
              SameText(selector.kind, "surface"))) {
            error = "unknown object kind '" + selector.kind + "' (app, level, sector, surface)";
            return false;
        }
    }
    if (selector.op.empty()) {
        error = "no operation named in '" + spec + "'";
        return false;
    }
    return true;
}

bool ParseDouble(const std::string& text, double& value)
{
    return levelfile::ParseReal(text, value);
}

}  // namespace

bool Selector::Matches(const char* k, const char* o) const
{
    return SameText(op, o) && (kind.empty() || SameText(kind, k));
}

bool Faults::AddFail(Fault::How how, const std::string& spec, std::string& error)
{
    Fault fault;
    fault.how = how;
    std::string value;
    if (!SplitSpec(spec, fault.selector, value, error))
        return false;
    if (how == Fault::How::Code || how == Fault::How::Scode) {
        if (!ParseHex(value, fault.code)) {
            error = "bad hexadecimal code '" + value + "'";
            return false;
        }
    } else {
        fault.text = Unescape(value);
    }
    fails_.push_back(fault);
    return true;
}

bool Faults::AddAnswer(const std::string& spec, std::string& error)
{
    Answer answer;
    std::string kind;
    if (!SplitSpec(spec, answer.selector, kind, error))
        return false;
    const auto colon = kind.find(':');
    const std::string head = kind.substr(0, colon);
    const std::string arg = colon == std::string::npos ? std::string() : kind.substr(colon + 1);
    bool ok = true;
    if (head == "text" && colon == std::string::npos) {
        answer.kind = Answer::Kind::Text;
    } else if (head == "null" && colon == std::string::npos) {
        answer.kind = Answer::Kind::Null;
    } else if (head == "empty" && colon == std::string::npos) {
        answer.kind = Answer::Kind::Empty;
    } else if (head == "object" && colon == std::string::npos) {
        answer.kind = Answer::Kind::Object;
    } else if (head == "fraction") {
        answer.kind = Answer::Kind::Real;
        answer.real = 2.5;
        if (colon != std::string::npos)
            ok = ParseDouble(arg, answer.real);
    } else if (head == "big" && colon == std::string::npos) {
        answer.kind = Answer::Kind::Real;
        answer.real = 4294967296.0;
    } else if (head == "big-i8" && colon == std::string::npos) {
        answer.kind = Answer::Kind::I8;
        answer.real = 4294967296.0;
    } else if (head == "real" && colon != std::string::npos) {
        answer.kind = Answer::Kind::Real;
        ok = ParseDouble(arg, answer.real);
    } else if (head == "int" && colon != std::string::npos) {
        answer.kind = Answer::Kind::I4;
        bool outOfRange = false;
        ok = levelfile::ParseInt32(arg, answer.i4, outOfRange);
    } else {
        error = "unknown answer kind '" + kind + "' (text, null, empty, object, fraction[:V], big, big-i8, int:N, real:V)";
        return false;
    }
    if (!ok) {
        error = "bad number in answer kind '" + kind + "'";
        return false;
    }
    answers_.push_back(answer);
    return true;
}

void Faults::SetDieAfter(long calls)
{
    dieAfter_ = calls;
    completed_ = 0;
}

void Faults::Clear()
{
    fails_.clear();
    answers_.clear();
    dieAfter_ = -1;
    completed_ = 0;
}

const Fault* Faults::FindFail(const char* kind, const char* op) const
{
    // The latest rule for an operation wins.
    for (auto it = fails_.rbegin(); it != fails_.rend(); ++it)
        if (it->selector.Matches(kind, op))
            return &*it;
    return nullptr;
}

const Answer* Faults::FindAnswer(const char* kind, const char* op) const
{
    for (auto it = answers_.rbegin(); it != answers_.rend(); ++it)
        if (it->selector.Matches(kind, op))
            return &*it;
    return nullptr;
}

// ---- Server

void Server::LevelChanged()
{
    const std::string& target = savePath.empty() ? levelPath : savePath;
    if (!target.empty()) {
        try {
            levelfile::Save(level, target);
            log.Line("save " + target);
        } catch (const std::exception& e) {
            log.Line(std::string("error ") + e.what());
        }
    }
    Refresh();
}

void Server::Refresh()
{
    if (window)
        RefreshWindow(window, *this);
}

// ---- Texts

std::string Narrow(const wchar_t* text, int length)
{
    if (!text)
        return std::string();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, out.data(), size, nullptr, nullptr);
    if (length < 0 && !out.empty())
        out.pop_back();  // the terminating zero
    return out;
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (unsigned char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const char e = text[++i];
        switch (e) {
        case 'r': out += '\r'; break;
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        case 'x':
            if (i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
                out += static_cast<char>(std::strtoul(text.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
                break;
            }
            [[fallthrough]];
        default:
            out += '\\';
            out += e;
        }
    }
    return out;
}

std::string Hex8(std::uint32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08X", static_cast<unsigned>(value));
    return buffer;
}

bool ParseHex(const std::string& text, HRESULT& value)
{
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X'))
        digits = digits.substr(2);
    if (digits.empty() || digits.size() > 8)
        return false;
    for (char c : digits)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    value = static_cast<HRESULT>(std::strtoul(digits.c_str(), nullptr, 16));
    return true;
}

}  // namespace levelhost
