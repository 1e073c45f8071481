// The stand-in editor's automation objects: application, level, sector and surface, each a late-bound
// IDispatch with a fixed table of names, and the class object that hands out application objects.
//
// A wrapper names what it refers to by position (a sector index, or a sector and surface index) and looks
// the level up again on every call: after a DeleteSurface a wrapper of a later surface simply refers to
// whatever now sits at its index, or fails when nothing does. Every call is written to the call log.
#include "levelhost/server_win32.h"

#include <charconv>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace levelhost {

namespace {

enum class Kind { App, Level, Sector, Surface };

const char* KindName(Kind kind)
{
    switch (kind) {
    case Kind::App: return "app";
    case Kind::Level: return "level";
    case Kind::Sector: return "sector";
    case Kind::Surface: return "surface";
    }
    return "?";
}

// Identifiers differ across kinds, so that a client that mixes up its objects' identifiers fails visibly.
enum Member : DISPID {
    kLevel = 1, kCurSC, kCurSF, kCurVX,
    kNSectors = 10, kGetSector,
    kNSurfaces = 20, kGetSurface, kDeleteSurface, kSectorUpdate, kSectorGetVertex,
    kNVertices = 30, kGetAdjoin, kSurfaceGetVertex, kDeleteVertex, kSurfaceUpdate,
};

struct MemberInfo {
    const char* name;
    DISPID id;
    UINT args;
    bool writesOutputs;  // the log shows the arguments again after the call
};

const MemberInfo kAppMembers[] = {
    {"Level", kLevel, 0, false}, {"CurSC", kCurSC, 0, false},
    {"CurSF", kCurSF, 0, false}, {"CurVX", kCurVX, 0, false},
};
const MemberInfo kLevelMembers[] = {
    {"NSectors", kNSectors, 0, false}, {"GetSector", kGetSector, 1, false},
};
const MemberInfo kSectorMembers[] = {
    {"NSurfaces", kNSurfaces, 0, false},      {"GetSurface", kGetSurface, 1, false},
    {"DeleteSurface", kDeleteSurface, 1, false}, {"Update", kSectorUpdate, 0, false},
    {"GetVertex", kSectorGetVertex, 4, true},
};
const MemberInfo kSurfaceMembers[] = {
    {"NVertices", kNVertices, 0, false},         {"GetAdjoin", kGetAdjoin, 2, true},
    {"GetVertex", kSurfaceGetVertex, 1, false},  {"DeleteVertex", kDeleteVertex, 1, false},
    {"Update", kSurfaceUpdate, 0, false},
};

template <std::size_t N>
std::vector<MemberInfo> Table(const MemberInfo (&members)[N])
{
    return std::vector<MemberInfo>(members, members + N);
}

const std::vector<MemberInfo>& MembersOf(Kind kind)
{
    static const std::vector<MemberInfo> app = Table(kAppMembers), level = Table(kLevelMembers),
                                         sector = Table(kSectorMembers), surface = Table(kSurfaceMembers);
    switch (kind) {
    case Kind::App: return app;
    case Kind::Level: return level;
    case Kind::Sector: return sector;
    case Kind::Surface: break;
    }
    return surface;
}

// ---- Texts of the log

std::wstring Wide(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

std::string Real(double value)
{
    char buffer[64];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 17);
    return error == std::errc() ? std::string(buffer, end) : std::string("?");
}

std::string DescribeValue(const VARIANT& v)
{
    switch (V_VT(&v)) {
    case VT_EMPTY: return "empty";
    case VT_NULL: return "null";
    case VT_I1: return "i1:" + std::to_string(static_cast<int>(V_I1(&v)));
    case VT_UI1: return "ui1:" + std::to_string(static_cast<unsigned>(V_UI1(&v)));
    case VT_I2: return "i2:" + std::to_string(V_I2(&v));
    case VT_UI2: return "ui2:" + std::to_string(V_UI2(&v));
    case VT_I4: return "i4:" + std::to_string(V_I4(&v));
    case VT_UI4: return "ui4:" + std::to_string(V_UI4(&v));
    case VT_INT: return "int:" + std::to_string(V_INT(&v));
    case VT_UINT: return "uint:" + std::to_string(V_UINT(&v));
    case VT_I8: return "i8:" + std::to_string(V_I8(&v));
    case VT_UI8: return "ui8:" + std::to_string(V_UI8(&v));
    case VT_R4: return "r4:" + Real(V_R4(&v));
    case VT_R8: return "r8:" + Real(V_R8(&v));
    case VT_DATE: return "date:" + Real(V_DATE(&v));
    case VT_CY: return "cy:" + std::to_string(V_CY(&v).int64);
    case VT_BOOL: return "bool:" + std::to_string(V_BOOL(&v));
    case VT_ERROR: return "error:" + Hex8(static_cast<std::uint32_t>(V_ERROR(&v)));
    case VT_BSTR: return "bstr:" + Escape(Narrow(V_BSTR(&v), static_cast<int>(SysStringLen(V_BSTR(&v)))));
    case VT_DISPATCH: return V_DISPATCH(&v) ? "dispatch" : "dispatch:nothing";
    case VT_UNKNOWN: return "unknown";
    default: return "vt" + std::to_string(V_VT(&v));
    }
}

std::string DescribeArg(const VARIANTARG& arg)
{
    if (V_VT(&arg) == (VT_BYREF | VT_VARIANT))
        return "&variant:" + (V_VARIANTREF(&arg) ? DescribeValue(*V_VARIANTREF(&arg)) : std::string("nothing"));
    if ((V_VT(&arg) & VT_BYREF) == 0)
        return DescribeValue(arg);
    if (!V_BYREF(&arg))
        return "&nothing";
    VARIANT value;
    VariantInit(&value);
    if (FAILED(VariantCopyInd(&value, const_cast<VARIANTARG*>(&arg))))
        return "&vt" + std::to_string(V_VT(&arg) & VT_TYPEMASK);
    std::string text = "&" + DescribeValue(value);
    VariantClear(&value);
    return text;
}

std::string DescribeArgs(const std::vector<VARIANTARG*>& args)
{
    std::string text;
    for (const VARIANTARG* arg : args)
        text += " " + DescribeArg(*arg);
    return text;
}

// ---- Failures

// What an operation answers when it cannot be done: DISP_E_EXCEPTION with a description, or another
// HRESULT (a type mismatch) with the position of the argument in DISPPARAMS.
struct OpFailure {
    HRESULT code;
    std::string description;
    UINT argErr = 0;
    bool hasArgErr = false;
};

[[noreturn]] void Refuse(const std::string& what, std::int32_t index)
{
    throw OpFailure{DISP_E_EXCEPTION, what + " " + std::to_string(index) + " out of range"};
}

void FillException(EXCEPINFO* info, const std::string& description, HRESULT scode)
{
    if (!info)
        return;
    std::memset(info, 0, sizeof *info);
    info->bstrSource = SysAllocString(L"levelhost");
    if (!description.empty())
        info->bstrDescription = SysAllocString(Wide(description).c_str());
    info->scode = scode;
}

// The description a deferred fill-in supplies; the process has one thread, and the fill-in runs before the
// next call can set another.
std::wstring g_deferredDescription;

HRESULT STDMETHODCALLTYPE FillDeferred(EXCEPINFO* info)
{
    if (!info)
        return E_POINTER;
    if (info->bstrDescription)
        SysFreeString(info->bstrDescription);
    info->bstrDescription = SysAllocString(g_deferredDescription.c_str());
    info->pfnDeferredFillIn = nullptr;
    return S_OK;
}

// ---- The objects

IDispatch* NewObject(Server& server, Kind kind, std::int32_t sector, std::int32_t surface, std::string& name);

class Object final : public IDispatch {
public:
    Object(Server& server, Kind kind, std::int32_t sector, std::int32_t surface)
        : server_(server), kind_(kind), sector_(sector), surface_(surface)
    {
        name_ = KindName(kind);
        if (kind == Kind::Sector)
            name_ += "[" + std::to_string(sector) + "]";
        else if (kind == Kind::Surface)
            name_ += "[" + std::to_string(sector) + "." + std::to_string(surface) + "]";
        name_ += "#" + std::to_string(server.NextSerial());
    }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    const std::string& Name() const { return name_; }

    // A new application object for the class object, handed out with the interface asked for.
    static HRESULT CreateApp(Server& server, REFIID iid, void** out)
    {
        Object* app = new Object(server, Kind::App, 0, 0);
        const HRESULT hr = app->QueryInterface(iid, out);
        if (FAILED(hr))
            delete app;  // nobody holds it: no release to report
        return hr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }

    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --count_;
        try {
            server_.log.Line("release " + name_ + " " + std::to_string(left));
        } catch (...) {
        }
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return DISP_E_BADINDEX;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    try {
        if (!names || !ids)
            return E_POINTER;
        bool allKnown = true;
        for (UINT i = 0; i < count; ++i) {
            const std::string name = Narrow(names[i]);
            ids[i] = DISPID_UNKNOWN;
            // Names after the first would be argument names: the operations have none.
            if (i == 0)
                for (const MemberInfo& m : MembersOf(kind_))
                    if (lstrcmpiA(name.c_str(), m.name) == 0)
                        ids[i] = m.id;
            allKnown = allKnown && ids[i] != DISPID_UNKNOWN;
            server_.log.Line("lookup " + name_ + " " + name + " = " +
                             (ids[i] == DISPID_UNKNOWN ? std::string("unknown") : std::to_string(ids[i])));
        }
        return allKnown ? S_OK : DISP_E_UNKNOWNNAME;
    } catch (...) {
        return E_UNEXPECTED;
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argErr) override
    try {
        if (server_.faults.DiesNow()) {
            // The editor killed in the middle of a walk: no answer, no clean-up.
            server_.log.Line("die after " + std::to_string(server_.faults.DieAfter()) + " calls");
            // The registration goes first: Wine keeps a dead process's class object on its list and hands it
            // to every later client, so no stand-in started after this one could be reached. Windows drops
            // it by itself.
            if (server_.classCookie)
                CoRevokeClassObject(server_.classCookie);
            TerminateProcess(GetCurrentProcess(), 9);
        }
        struct Count {
            Faults& faults;
            ~Count() { faults.InvokeCompleted(); }
        } count{server_.faults};
        return Call(id, flags, params, result, exception, argErr);
    } catch (...) {
        return E_UNEXPECTED;
    }

private:
    ~Object() = default;

    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argErr)
    {
        const MemberInfo* member = nullptr;
        for (const MemberInfo& m : MembersOf(kind_))
            if (m.id == id)
                member = &m;

        // Arguments in call order: DISPPARAMS holds them last first.
        std::vector<VARIANTARG*> args;
        const UINT argCount = params ? params->cArgs : 0;
        for (UINT i = 0; i < argCount; ++i)
            args.push_back(&params->rgvarg[argCount - 1 - i]);

        const std::string head =
            "call " + name_ + " " + (member ? std::string(member->name) : "#" + std::to_string(id)) + DescribeArgs(args);
        auto failWith = [&](HRESULT code) {
            server_.log.Line(head + " = code:" + Hex8(static_cast<std::uint32_t>(code)));
            return code;
        };

        if (!member || (flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0)
            return failWith(DISP_E_MEMBERNOTFOUND);
        if (params && params->cNamedArgs != 0)
            return failWith(DISP_E_NONAMEDARGS);
        if (argCount != member->args)
            return failWith(DISP_E_BADPARAMCOUNT);

        const char* kind = KindName(kind_);
        if (const Fault* fault = server_.faults.FindFail(kind, member->name)) {
            switch (fault->how) {
            case Fault::How::Code:
                return failWith(fault->code);
            case Fault::How::Scode:
                FillException(exception, std::string(), fault->code);
                server_.log.Line(head + " = scode:" + Hex8(static_cast<std::uint32_t>(fault->code)));
                return DISP_E_EXCEPTION;
            case Fault::How::Deferred:
                FillException(exception, std::string(), E_FAIL);
                g_deferredDescription = Wide(fault->text);
                if (exception) {
                    exception->pfnDeferredFillIn = FillDeferred;
                    // On Windows the system's stub runs the fill-in before the answer leaves this process;
                    // Wine's stub hands the client our raw address instead, which it cannot call. Our clients
                    // are always in another process, so we do what the stub should.
                    exception->pfnDeferredFillIn(exception);
                }
                server_.log.Line(head + " = fail:" + Escape(fault->text));
                return DISP_E_EXCEPTION;
            case Fault::How::Description:
                break;
            }
            FillException(exception, fault->text, E_FAIL);
            server_.log.Line(head + " = fail:" + Escape(fault->text));
            return DISP_E_EXCEPTION;
        }

        VARIANT value;
        VariantInit(&value);
        std::string answer;
        if (const Answer* injected = server_.faults.FindAnswer(kind, member->name)) {
            // The operation is not carried out: the client only gets the answer of the wrong kind.
            answer = Produce(*injected, value);
        } else {
            try {
                answer = Run(*member, args, value);
            } catch (const OpFailure& failure) {
                VariantClear(&value);
                if (failure.code != DISP_E_EXCEPTION) {
                    if (failure.hasArgErr && argErr)
                        *argErr = failure.argErr;
                    return failWith(failure.code);
                }
                FillException(exception, failure.description, E_FAIL);
                server_.log.Line(head + " = fail:" + Escape(failure.description));
                return DISP_E_EXCEPTION;
            }
        }
        if (member->writesOutputs)
            answer += " [" + DescribeArgs(args).substr(1) + "]";
        server_.log.Line(head + " = " + answer);
        if (result)
            *result = value;  // the caller owns it now
        else
            VariantClear(&value);
        return S_OK;
    }

    std::string Produce(const Answer& injected, VARIANT& value)
    {
        switch (injected.kind) {
        case Answer::Kind::Text:
            V_VT(&value) = VT_BSTR;
            V_BSTR(&value) = SysAllocString(L"abc");
            break;
        case Answer::Kind::Null:
            V_VT(&value) = VT_NULL;
            break;
        case Answer::Kind::Empty:
            break;
        case Answer::Kind::Object: {
            std::string name;
            V_VT(&value) = VT_DISPATCH;
            V_DISPATCH(&value) = NewObject(server_, Kind::Level, 0, 0, name);
            return name;
        }
        case Answer::Kind::Real:
            V_VT(&value) = VT_R8;
            V_R8(&value) = injected.real;
            break;
        case Answer::Kind::I8:
            V_VT(&value) = VT_I8;
            V_I8(&value) = static_cast<LONGLONG>(injected.real);
            break;
        case Answer::Kind::I4:
            V_VT(&value) = VT_I4;
            V_I4(&value) = injected.i4;
            break;
        }
        return DescribeValue(value);
    }

    // ---- Arguments

    static UINT Position(const std::vector<VARIANTARG*>& args, std::size_t i)
    {
        return static_cast<UINT>(args.size() - 1 - i);
    }

    // An index, by value or by reference, of any kind that converts to a 32-bit integer.
    static std::int32_t Index(const std::vector<VARIANTARG*>& args, std::size_t i)
    {
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = VariantCopyInd(&v, args[i]);
        if (SUCCEEDED(hr))
            hr = VariantChangeType(&v, &v, 0, VT_I4);
        const std::int32_t value = SUCCEEDED(hr) ? V_I4(&v) : 0;
        VariantClear(&v);
        if (FAILED(hr))
            throw OpFailure{DISP_E_TYPEMISMATCH, std::string(), Position(args, i), true};
        return value;
    }

    // An output: a reference to a variable of the given type, or to a variant.
    static void RequireOutput(const std::vector<VARIANTARG*>& args, std::size_t i, VARTYPE type)
    {
        const VARTYPE vt = V_VT(args[i]);
        if ((vt != (VT_BYREF | type) && vt != (VT_BYREF | VT_VARIANT)) || !V_BYREF(args[i]))
            throw OpFailure{DISP_E_TYPEMISMATCH, std::string(), Position(args, i), true};
    }

    static void WriteI4(VARIANTARG* arg, std::int32_t value)
    {
        if (V_VT(arg) == (VT_BYREF | VT_I4)) {
            *V_I4REF(arg) = value;
        } else {
            VariantClear(V_VARIANTREF(arg));
            V_VT(V_VARIANTREF(arg)) = VT_I4;
            V_I4(V_VARIANTREF(arg)) = value;
        }
    }

    static void WriteR8(VARIANTARG* arg, double value)
    {
        if (V_VT(arg) == (VT_BYREF | VT_R8)) {
            *V_R8REF(arg) = value;
        } else {
            VariantClear(V_VARIANTREF(arg));
            V_VT(V_VARIANTREF(arg)) = VT_R8;
            V_R8(V_VARIANTREF(arg)) = value;
        }
    }

    static std::string SetI4(VARIANT& value, std::int64_t number)
    {
        V_VT(&value) = VT_I4;
        V_I4(&value) = static_cast<std::int32_t>(number);
        return DescribeValue(value);
    }

    std::string SetObject(VARIANT& value, Kind kind, std::int32_t sector, std::int32_t surface)
    {
        std::string name;
        V_VT(&value) = VT_DISPATCH;
        V_DISPATCH(&value) = NewObject(server_, kind, sector, surface, name);
        return name;
    }

    // ---- The level as this object sees it

    levelfile::Sector& SectorAt(std::int32_t index)
    {
        auto& sectors = server_.level.sectors;
        if (index < 0 || static_cast<std::size_t>(index) >= sectors.size())
            Refuse("Sector index", index);
        return sectors[static_cast<std::size_t>(index)];
    }

    levelfile::Surface& SurfaceAt(levelfile::Sector& sector, std::int32_t index)
    {
        if (index < 0 || static_cast<std::size_t>(index) >= sector.surfaces.size())
            Refuse("Surface index", index);
        return sector.surfaces[static_cast<std::size_t>(index)];
    }

    static std::size_t Within(std::int32_t index, std::size_t size, const char* what)
    {
        if (index < 0 || static_cast<std::size_t>(index) >= size)
            Refuse(what, index);
        return static_cast<std::size_t>(index);
    }

    // Carries out one operation; its answer goes into value, and the text for the log is returned.
    std::string Run(const MemberInfo& member, std::vector<VARIANTARG*>& args, VARIANT& value)
    {
        levelfile::Level& level = server_.level;
        switch (member.id) {
        case kLevel: return SetObject(value, Kind::Level, 0, 0);
        case kCurSC: return SetI4(value, level.curSC);
        case kCurSF: return SetI4(value, level.curSF);
        case kCurVX: return SetI4(value, level.curVX);

        case kNSectors: return SetI4(value, static_cast<std::int64_t>(level.sectors.size()));
        case kGetSector: {
            const std::int32_t index = Index(args, 0);
            SectorAt(index);
            return SetObject(value, Kind::Sector, index, 0);
        }

        case kNSurfaces: return SetI4(value, static_cast<std::int64_t>(SectorAt(sector_).surfaces.size()));
        case kGetSurface: {
            const std::int32_t index = Index(args, 0);
            SurfaceAt(SectorAt(sector_), index);
            return SetObject(value, Kind::Surface, sector_, index);
        }
        case kDeleteSurface: {
            const std::int32_t index = Index(args, 0);
            levelfile::Sector& sector = SectorAt(sector_);
            SurfaceAt(sector, index);
            sector.surfaces.erase(sector.surfaces.begin() + index);
            server_.LevelChanged();
            return DescribeValue(value);
        }
        case kSectorUpdate:
            SectorAt(sector_);
            server_.Refresh();
            return DescribeValue(value);
        case kSectorGetVertex: {
            for (std::size_t i = 1; i < 4; ++i)
                RequireOutput(args, i, VT_R8);
            const std::int32_t index = Index(args, 0);
            levelfile::Sector& sector = SectorAt(sector_);
            const levelfile::Vertex& v = sector.vertices[Within(index, sector.vertices.size(), "Vertex index")];
            WriteR8(args[1], v.x);
            WriteR8(args[2], v.y);
            WriteR8(args[3], v.z);
            return DescribeValue(value);
        }

        case kNVertices: return SetI4(value, static_cast<std::int64_t>(SurfaceAt(SectorAt(sector_), surface_).vertices.size()));
        case kGetAdjoin: {
            RequireOutput(args, 0, VT_I4);
            RequireOutput(args, 1, VT_I4);
            const levelfile::Surface& surface = SurfaceAt(SectorAt(sector_), surface_);
            WriteI4(args[0], surface.adjoinA);
            WriteI4(args[1], surface.adjoinB);
            return DescribeValue(value);
        }
        case kSurfaceGetVertex: {
            const std::int32_t position = Index(args, 0);
            const levelfile::Surface& surface = SurfaceAt(SectorAt(sector_), surface_);
            V_VT(&value) = VT_I4;
            V_I4(&value) = surface.vertices[Within(position, surface.vertices.size(), "Vertex position")];
            return DescribeValue(value);
        }
        case kDeleteVertex: {
            const std::int32_t position = Index(args, 0);
            levelfile::Surface& surface = SurfaceAt(SectorAt(sector_), surface_);
            surface.vertices.erase(surface.vertices.begin() +
                                   static_cast<std::ptrdiff_t>(Within(position, surface.vertices.size(), "Vertex position")));
            server_.LevelChanged();
            return DescribeValue(value);
        }
        case kSurfaceUpdate:
            SurfaceAt(SectorAt(sector_), surface_);
            server_.Refresh();
            return DescribeValue(value);
        }
        throw OpFailure{DISP_E_MEMBERNOTFOUND, std::string()};
    }

    Server& server_;
    const Kind kind_;
    const std::int32_t sector_;
    const std::int32_t surface_;
    std::string name_;
    ULONG count_ = 0;
};

IDispatch* NewObject(Server& server, Kind kind, std::int32_t sector, std::int32_t surface, std::string& name)
{
    Object* object = new Object(server, kind, sector, surface);
    object->AddRef();
    name = object->Name();
    return object;
}

class ClassFactory final : public IClassFactory {
public:
    explicit ClassFactory(Server& server) : server_(server) {}
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++count_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --count_;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    try {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return Object::CreateApp(server_, iid, out);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }

    // The stand-in stays until it is told to go, whoever holds it.
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ~ClassFactory() = default;
    Server& server_;
    ULONG count_ = 1;
};

}  // namespace

IClassFactory* NewClassFactory(Server& server)
{
    return new ClassFactory(server);
}

}  // namespace levelhost
