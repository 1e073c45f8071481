// Windows part of the late-bound calls: HostDispatch over an IDispatch reference.
// Only Windows code belongs here.
#include <windows.h>
#include <oleauto.h>
#include <limits>
#include "host/dispatch_win32.h"
#include "host/oleerror.h"

std::wstring WidenAnsi(const std::string& text)
{
    if (text.empty())
        return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string NarrowAnsi(const wchar_t* text, size_t length)
{
    if (!text || length == 0)
        return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), narrow.data(), n, nullptr, nullptr);
    return narrow;
}

namespace {

// Owns a VARIANT; clearing it releases what it refers to.
struct OwnedVariant {
    VARIANT v;
    OwnedVariant() { VariantInit(&v); }
    ~OwnedVariant() { VariantClear(&v); }
    OwnedVariant(const OwnedVariant&) = delete;
    OwnedVariant& operator=(const OwnedVariant&) = delete;
};

// Owns the strings the server put into an EXCEPINFO.
struct OwnedExcepInfo {
    EXCEPINFO e{};
    OwnedExcepInfo() = default;
    ~OwnedExcepInfo() { Free(); }
    OwnedExcepInfo(const OwnedExcepInfo&) = delete;
    OwnedExcepInfo& operator=(const OwnedExcepInfo&) = delete;
    void Free()
    {
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrHelpFile);
        e.bstrSource = e.bstrDescription = e.bstrHelpFile = nullptr;
    }
    void ReadInto(HostException& h) const
    {
        h.description = NarrowAnsi(e.bstrDescription, e.bstrDescription ? SysStringLen(e.bstrDescription) : 0);
        h.scode = static_cast<uint32_t>(e.scode);
        h.wCode = e.wCode;
    }
};

// Turns the answer of a call into the portable value; object references change hands.
HostVariant FromVariant(VARIANT& v)
{
    if (V_VT(&v) & VT_BYREF) {
        OwnedVariant direct;
        if (FAILED(VariantCopyInd(&direct.v, &v)))
            return HostVariant::MakeOther(V_VT(&v));
        return FromVariant(direct.v);
    }
    const VARTYPE vt = V_VT(&v);
    switch (vt) {
    case VT_EMPTY: return HostVariant();
    case VT_NULL: return HostVariant::MakeNull();
    case VT_I1: return HostVariant::MakeInteger(V_I1(&v), vt);
    case VT_I2: return HostVariant::MakeInteger(V_I2(&v), vt);
    case VT_I4: return HostVariant::MakeInteger(V_I4(&v), vt);
    case VT_INT: return HostVariant::MakeInteger(V_INT(&v), vt);
    case VT_I8: return HostVariant::MakeInteger(V_I8(&v), vt);
    case VT_UI1: return HostVariant::MakeInteger(V_UI1(&v), vt);
    case VT_UI2: return HostVariant::MakeInteger(V_UI2(&v), vt);
    case VT_UI4: return HostVariant::MakeInteger(V_UI4(&v), vt);
    case VT_UINT: return HostVariant::MakeInteger(V_UINT(&v), vt);
    case VT_UI8:
        // Beyond the signed 64-bit range it is still a number, only one no index can be.
        if (V_UI8(&v) > static_cast<ULONGLONG>(std::numeric_limits<int64_t>::max()))
            return HostVariant::MakeReal(static_cast<double>(V_UI8(&v)), vt);
        return HostVariant::MakeInteger(static_cast<int64_t>(V_UI8(&v)), vt);
    case VT_R4: return HostVariant::MakeReal(V_R4(&v), vt);
    case VT_R8: return HostVariant::MakeReal(V_R8(&v), vt);
    case VT_DATE: return HostVariant::MakeReal(V_DATE(&v), vt);
    case VT_CY: return HostVariant::MakeReal(static_cast<double>(V_CY(&v).int64) / 10000.0, vt);
    case VT_DECIMAL: {
        double d = 0;
        if (FAILED(VarR8FromDec(&V_DECIMAL(&v), &d)))
            return HostVariant::MakeOther(vt);
        return HostVariant::MakeReal(d, vt);
    }
    case VT_BOOL: return HostVariant::MakeBool(V_BOOL(&v) != VARIANT_FALSE);
    case VT_BSTR: return HostVariant::MakeText(NarrowAnsi(V_BSTR(&v), V_BSTR(&v) ? SysStringLen(V_BSTR(&v)) : 0));
    case VT_DISPATCH: {
        IDispatch* p = V_DISPATCH(&v);
        V_VT(&v) = VT_EMPTY;  // the reference is ours now
        return HostVariant::MakeObject(p ? AdoptDispatch(p) : nullptr);
    }
    default: return HostVariant::MakeOther(vt);
    }
}

class DispatchObject final : public HostDispatch {
public:
    explicit DispatchObject(IDispatch* p) : p_(p) {}
    ~DispatchObject() override { p_->Release(); }

    int32_t LookUp(const std::string& name) override
    {
        std::wstring wide = WidenAnsi(name);
        LPOLESTR names[1] = {wide.data()};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = p_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr))
            RaiseCallFailure(static_cast<uint32_t>(hr), name.c_str());
        return id;
    }

    HostVariant Invoke(int32_t dispid, const char* name, std::span<const HostArg> args, bool wantAnswer) override
    {
        // The editor's operations take at most four arguments.
        constexpr size_t kMaxArgs = 8;
        if (args.size() > kMaxArgs)
            throw Error("Too many arguments");
        const size_t n = args.size();
        VARIANTARG vargs[kMaxArgs];
        LONG ints[kMaxArgs] = {};
        double reals[kMaxArgs] = {};
        // DISPPARAMS takes the arguments last first. By-reference arguments point at local copies,
        // which go back into the caller's variables after the call.
        for (size_t i = 0; i < n; ++i) {
            VARIANTARG& v = vargs[n - 1 - i];
            VariantInit(&v);
            const HostArg& a = args[i];
            switch (a.kind) {
            case HostArg::Kind::Int:
                V_VT(&v) = VT_I4;
                V_I4(&v) = a.value;
                break;
            case HostArg::Kind::IntRef:
                ints[i] = *a.intRef;
                V_VT(&v) = VT_BYREF | VT_I4;
                V_I4REF(&v) = &ints[i];
                break;
            case HostArg::Kind::RealRef:
                reals[i] = *a.realRef;
                V_VT(&v) = VT_BYREF | VT_R8;
                V_R8REF(&v) = &reals[i];
                break;
            }
        }
        DISPPARAMS params{n ? vargs : nullptr, nullptr, static_cast<UINT>(n), 0};
        const WORD flags = (n == 0 && wantAnswer) ? (DISPATCH_METHOD | DISPATCH_PROPERTYGET) : DISPATCH_METHOD;
        OwnedVariant result;
        OwnedExcepInfo exception;
        UINT argError = 0;
        const HRESULT hr = p_->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result.v,
                                      &exception.e, &argError);
        for (size_t i = 0; i < n; ++i) {
            if (args[i].kind == HostArg::Kind::IntRef)
                *args[i].intRef = ints[i];
            else if (args[i].kind == HostArg::Kind::RealRef)
                *args[i].realRef = reals[i];
        }
        if (FAILED(hr)) {
            const uint32_t code = static_cast<uint32_t>(hr);
            if (hr == DISP_E_EXCEPTION) {
                HostException reported;
                exception.ReadInto(reported);
                if (exception.e.pfnDeferredFillIn) {
                    reported.fillIn = [&exception](HostException& h) {
                        const auto fill = exception.e.pfnDeferredFillIn;
                        exception.e.pfnDeferredFillIn = nullptr;
                        fill(&exception.e);
                        exception.ReadInto(h);
                    };
                }
                RaiseCallFailure(code, name, &reported);
            }
            RaiseCallFailure(code, name);
        }
        return FromVariant(result.v);
    }

private:
    IDispatch* p_;
};

}  // namespace

std::unique_ptr<HostDispatch> AdoptDispatch(IDispatch* p)
{
    return std::make_unique<DispatchObject>(p);
}
