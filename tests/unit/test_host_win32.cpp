// The Windows call path: VARIANT arguments and answers, EXCEPINFO, references and the connection,
// against a small automation object made here and against a class the system registers.
#ifdef _WIN32
#include <windows.h>
#include <oleauto.h>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "global/HostObject.h"
#include "host/connect.h"
#include "host/dispatch_win32.h"
#include "host/oleerror.h"

namespace {

// An automation object with a few operations that show what arrived and answer chosen kinds.
class Probe final : public IDispatch {
public:
    ULONG refs = 1;
    WORD lastFlags = 0;
    std::vector<VARTYPE> lastTypes;  // as in DISPPARAMS, last argument first

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override
    {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }  // lives on the test's stack
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override
    {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override
    {
        static const wchar_t* const table[] = {L"Args", L"Fail", L"FailLater", L"Text", L"Self", L"Gone", L"Down",
                                               L"Cents"};
        for (DISPID i = 0; i < DISPID(sizeof table / sizeof *table); ++i)
            if (lstrcmpiW(names[0], table[i]) == 0) {
                ids[0] = i + 1;
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    static HRESULT STDMETHODCALLTYPE FillLater(EXCEPINFO* e)
    {
        e->bstrDescription = SysAllocString(L"Filled in later.\r\n");
        e->scode = E_FAIL;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* p, VARIANT* result,
                                     EXCEPINFO* e, UINT*) override
    {
        lastFlags = flags;
        lastTypes.clear();
        for (UINT i = 0; i < p->cArgs; ++i)
            lastTypes.push_back(V_VT(&p->rgvarg[i]));
        switch (id) {
        case 1:  // Args: adds 100 to integer references, doubles real ones, answers the count
            for (UINT i = 0; i < p->cArgs; ++i) {
                VARIANT& v = p->rgvarg[i];
                if (V_VT(&v) == (VT_BYREF | VT_I4))
                    *V_I4REF(&v) += 100;
                if (V_VT(&v) == (VT_BYREF | VT_R8))
                    *V_R8REF(&v) *= 2;
            }
            V_VT(result) = VT_I4;
            V_I4(result) = static_cast<LONG>(p->cArgs);
            return S_OK;
        case 2:
            e->bstrDescription = SysAllocString(L"Sector index 9 out of range .\r\n");
            e->bstrSource = SysAllocString(L"Probe");
            e->scode = E_FAIL;
            return DISP_E_EXCEPTION;
        case 3:
            e->pfnDeferredFillIn = FillLater;
            return DISP_E_EXCEPTION;
        case 4:
            V_VT(result) = VT_BSTR;
            V_BSTR(result) = SysAllocString(L"abc");
            return S_OK;
        case 5:
            AddRef();
            V_VT(result) = VT_DISPATCH;
            V_DISPATCH(result) = this;
            return S_OK;
        case 6: return DISP_E_MEMBERNOTFOUND;
        case 7: return static_cast<HRESULT>(0x800706BA);
        case 8:
            V_VT(result) = VT_CY;
            V_CY(result).int64 = 25000;  // 2.5
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }
};

std::string MessageOf(HostObject& o, const char* name)
{
    try {
        o.Call(name);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

TEST(HostWin32, ArgumentsGoLastFirstAndReferencesComeBack)
{
    Probe probe;
    {
        HostObject o;
        probe.AddRef();
        o.Set(AdoptDispatch(&probe));
        int32_t a = 1;
        double x = 1.5;
        EXPECT_EQ(o.CallInt("Args", {ByVal(7), ByRef(a), ByRef(x)}), 3);
        EXPECT_EQ(a, 101);
        EXPECT_EQ(x, 3.0);
        EXPECT_EQ(probe.lastTypes, (std::vector<VARTYPE>{VT_BYREF | VT_R8, VT_BYREF | VT_I4, VT_I4}));
        EXPECT_EQ(probe.lastFlags, DISPATCH_METHOD);

        EXPECT_EQ(o.CallInt("args"), 0);
        EXPECT_EQ(probe.lastFlags, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
        o.Call("Args");
        EXPECT_EQ(probe.lastFlags, DISPATCH_METHOD);

        EXPECT_EQ(o.CallValue("Text").text(), "abc");
        EXPECT_EQ(ToInt32(o.CallValue("Cents")), 2);

        HostObject self;
        o.CallInto(self, "Self");
        EXPECT_TRUE(self.HoldsObject());
        EXPECT_EQ(probe.refs, 3u);
        self.Clear();
        EXPECT_EQ(probe.refs, 2u);
    }
    EXPECT_EQ(probe.refs, 1u);
}

TEST(HostWin32, FailuresBecomeTheirMessages)
{
    Probe probe;
    {
        HostObject o;
        probe.AddRef();
        o.Set(AdoptDispatch(&probe));
        EXPECT_EQ(MessageOf(o, "Fail"), "Sector index 9 out of range");
        EXPECT_EQ(MessageOf(o, "FailLater"), "Filled in later");
        // A member that the call does not find is a failure like any other: the system's text or the code.
        EXPECT_EQ(MessageOf(o, "Gone"), OleErrorMessage(0x80020003));
        EXPECT_EQ(MessageOf(o, "Missing"), "Method 'Missing' not supported by automation object");
        const std::string down = MessageOf(o, "Down");  // the system's wording, or the code
        EXPECT_FALSE(down.empty());
        EXPECT_NE(down.back(), '.');

        // A failed call empties the reference meant for its answer; a failed lookup does not.
        HostObject target;
        o.CallInto(target, "Self");
        EXPECT_THROW(o.CallInto(target, "Missing"), Error);
        EXPECT_TRUE(target.HoldsObject());
        EXPECT_THROW(o.CallInto(target, "Fail"), Error);
        EXPECT_TRUE(target.IsEmpty());
    }
    EXPECT_EQ(probe.refs, 1u);
}

TEST(HostWin32, ConnectsByProgrammaticIdentifier)
{
    const bool started = ComStart();
    ASSERT_TRUE(started);
    try {
        ConnectByProgId("Vexmold.NoSuchClass");
        ADD_FAILURE() << "no error";
    } catch (const OleError& e) {
        EXPECT_EQ(e.code(), kClassStringInvalid);
        EXPECT_FALSE(std::string(e.what()).empty());
    }
    {
        // A class every system registers, served in process.
        HostObject dict;
        dict.Set(ConnectByProgId("Scripting.Dictionary"));
        EXPECT_EQ(dict.CallInt("Count"), 0);
        dict.Call("Add", {ByVal(1), ByVal(2)});
        EXPECT_EQ(dict.CallInt("Count"), 1);
        EXPECT_EQ(dict.CallInt("Exists", {ByVal(1)}), -1);  // true
        EXPECT_EQ(dict.CallInt("Exists", {ByVal(2)}), 0);
    }
    ComStop(started);
}

}  // namespace
#endif
