// The in-memory editor for native tests.
#include "doubles/fake_host.h"
#include <cstdio>
#include <map>
#include "host/oleerror.h"
#ifndef _WIN32
#include "host/connect.h"
#endif

namespace {

enum class ObjKind { App, Level, Sector, Surface };

const char* KindName(ObjKind k)
{
    switch (k) {
    case ObjKind::App: return "app";
    case ObjKind::Level: return "level";
    case ObjKind::Sector: return "sector";
    case ObjKind::Surface: return "surface";
    }
    return "?";
}

// The operations of each kind of object; an operation's identifier is its place in the list plus one.
const std::vector<std::string>& Operations(ObjKind k)
{
    static const std::vector<std::string> app{"Level", "CurSC", "CurSF", "CurVX"};
    static const std::vector<std::string> level{"NSectors", "GetSector"};
    static const std::vector<std::string> sector{"NSurfaces", "GetSurface", "DeleteSurface", "Update", "GetVertex"};
    static const std::vector<std::string> surface{"NVertices", "GetAdjoin", "GetVertex", "DeleteVertex", "Update"};
    switch (k) {
    case ObjKind::App: return app;
    case ObjKind::Level: return level;
    case ObjKind::Sector: return sector;
    case ObjKind::Surface: return surface;
    }
    return app;
}

struct Fault {
    enum class Type { Description, Deferred, Code, Answer } type = Type::Code;
    std::string description;
    uint32_t code = 0;
    std::function<HostVariant()> make;
};

// Operation names are not case-sensitive.
bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string Arg(const HostArg& a)
{
    char buf[48];
    switch (a.kind) {
    case HostArg::Kind::Int: std::snprintf(buf, sizeof buf, "i4:%d", a.value); break;
    case HostArg::Kind::IntRef: std::snprintf(buf, sizeof buf, "&i4:%d", *a.intRef); break;
    case HostArg::Kind::RealRef: std::snprintf(buf, sizeof buf, "&r8:%.17g", *a.realRef); break;
    }
    return buf;
}

}  // namespace

struct FakeLevel::State {
    std::vector<FakeSector> sectors;
    int32_t curSC = 0, curSF = 0, curVX = 0;
    std::map<std::string, Fault> faults;
    std::vector<std::string> log;
    std::map<std::string, int> callsByOp;
    int calls = 0;
    int lookups = 0;
    int live = 0;
    int dieAfter = -1;
    uint32_t connectFailure = 0;

    bool Dead() const { return dieAfter >= 0 && calls > dieAfter; }
    const Fault* FaultFor(ObjKind k, const std::string& op) const
    {
        auto it = faults.find(std::string(KindName(k)) + "." + op);
        if (it == faults.end())
            it = faults.find(op);
        return it == faults.end() ? nullptr : &it->second;
    }
};

namespace {

[[noreturn]] void Refuse(const char* name, const std::string& description)
{
    HostException e;
    e.description = description;
    RaiseCallFailure(kDispException, name, &e);
}

class FakeObject final : public HostDispatch {
public:
    FakeObject(std::shared_ptr<FakeLevel::State> s, ObjKind kind, int32_t sector = 0, int32_t surface = 0)
        : s_(std::move(s)), kind_(kind), sector_(sector), surface_(surface)
    {
        switch (kind_) {
        case ObjKind::Sector: name_ = "sector[" + std::to_string(sector_) + "]"; break;
        case ObjKind::Surface:
            name_ = "surface[" + std::to_string(sector_) + "." + std::to_string(surface_) + "]";
            break;
        default: name_ = KindName(kind_); break;
        }
        ++s_->live;
    }
    ~FakeObject() override
    {
        --s_->live;
        s_->log.push_back("release " + name_);
    }

    int32_t LookUp(const std::string& name) override
    {
        ++s_->lookups;
        s_->log.push_back("lookup " + name_ + " " + name);
        if (s_->Dead())
            RaiseCallFailure(kRpcServerUnavailable, name.c_str());
        const auto& ops = Operations(kind_);
        for (size_t i = 0; i < ops.size(); ++i)
            if (SameName(ops[i], name))
                return static_cast<int32_t>(i + 1);
        RaiseCallFailure(kDispUnknownName, name.c_str());
    }

    HostVariant Invoke(int32_t dispid, const char* name, std::span<const HostArg> args, bool) override
    {
        std::string line = "call " + name_ + " " + name;
        for (const HostArg& a : args) {
            line += ' ';
            line += Arg(a);
        }
        s_->log.push_back(line);
        ++s_->calls;
        const auto& ops = Operations(kind_);
        const bool known = dispid >= 1 && dispid <= static_cast<int32_t>(ops.size());
        if (known) {
            ++s_->callsByOp[ops[static_cast<size_t>(dispid - 1)]];
            ++s_->callsByOp[std::string(KindName(kind_)) + "." + ops[static_cast<size_t>(dispid - 1)]];
        }
        if (s_->Dead())
            RaiseCallFailure(s_->calls == s_->dieAfter + 1 ? kRpcCallFailed : kRpcServerUnavailable, name);
        if (!known)
            RaiseCallFailure(kDispMemberNotFound, name);
        const std::string& op = ops[static_cast<size_t>(dispid - 1)];
        if (const Fault* f = s_->FaultFor(kind_, op)) {
            switch (f->type) {
            case Fault::Type::Description: {
                HostException e;
                e.description = f->description;
                e.scode = f->code;
                RaiseCallFailure(kDispException, name, &e);
            }
            case Fault::Type::Deferred: {
                HostException e;
                const std::string text = f->description;
                e.fillIn = [text](HostException& h) { h.description = text; };
                RaiseCallFailure(kDispException, name, &e);
            }
            case Fault::Type::Code: RaiseCallFailure(f->code, name);
            case Fault::Type::Answer: return f->make();
            }
        }
        return Run(op, name, args);
    }

private:
    HostVariant Int(int64_t v) { return HostVariant::MakeInteger(v); }

    static void Count(const char* name, std::span<const HostArg> args, size_t n)
    {
        if (args.size() != n)
            RaiseCallFailure(kDispBadParamCount, name);
    }
    // An index goes in by value or by reference.
    static int32_t Index(const char* name, const HostArg& a)
    {
        switch (a.kind) {
        case HostArg::Kind::Int: return a.value;
        case HostArg::Kind::IntRef: return *a.intRef;
        default: RaiseCallFailure(kDispTypeMismatch, name);
        }
    }
    static int32_t& IntOut(const char* name, const HostArg& a)
    {
        if (a.kind != HostArg::Kind::IntRef)
            RaiseCallFailure(kDispTypeMismatch, name);
        return *a.intRef;
    }
    static double& RealOut(const char* name, const HostArg& a)
    {
        if (a.kind != HostArg::Kind::RealRef)
            RaiseCallFailure(kDispTypeMismatch, name);
        return *a.realRef;
    }

    FakeSector& Sector(const char* name, int32_t i)
    {
        if (i < 0 || i >= static_cast<int32_t>(s_->sectors.size()))
            Refuse(name, "Sector index " + std::to_string(i) + " out of range");
        return s_->sectors[static_cast<size_t>(i)];
    }
    FakeSurface& Surface(const char* name)
    {
        FakeSector& sc = Sector(name, sector_);
        if (surface_ < 0 || surface_ >= static_cast<int32_t>(sc.surfaces.size()))
            Refuse(name, "Surface index " + std::to_string(surface_) + " out of range");
        return sc.surfaces[static_cast<size_t>(surface_)];
    }

    HostVariant Run(const std::string& op, const char* name, std::span<const HostArg> args)
    {
        switch (kind_) {
        case ObjKind::App:
            Count(name, args, 0);
            if (op == "Level")
                return HostVariant::MakeObject(std::make_unique<FakeObject>(s_, ObjKind::Level));
            if (op == "CurSC")
                return Int(s_->curSC);
            if (op == "CurSF")
                return Int(s_->curSF);
            return Int(s_->curVX);
        case ObjKind::Level:
            if (op == "NSectors") {
                Count(name, args, 0);
                return Int(static_cast<int64_t>(s_->sectors.size()));
            }
            Count(name, args, 1);
            {
                const int32_t i = Index(name, args[0]);
                Sector(name, i);
                return HostVariant::MakeObject(std::make_unique<FakeObject>(s_, ObjKind::Sector, i));
            }
        case ObjKind::Sector: {
            if (op == "NSurfaces") {
                Count(name, args, 0);
                return Int(static_cast<int64_t>(Sector(name, sector_).surfaces.size()));
            }
            if (op == "Update") {
                Count(name, args, 0);
                Sector(name, sector_);
                return {};
            }
            if (op == "GetVertex") {
                Count(name, args, 4);
                FakeSector& sc = Sector(name, sector_);
                const int32_t v = Index(name, args[0]);
                double& x = RealOut(name, args[1]);
                double& y = RealOut(name, args[2]);
                double& z = RealOut(name, args[3]);
                if (v < 0 || v >= static_cast<int32_t>(sc.vertices.size()))
                    Refuse(name, "Vertex index " + std::to_string(v) + " out of range");
                const FakeVertex& p = sc.vertices[static_cast<size_t>(v)];
                x = p.x, y = p.y, z = p.z;
                return {};
            }
            Count(name, args, 1);
            FakeSector& sc = Sector(name, sector_);
            const int32_t i = Index(name, args[0]);
            if (i < 0 || i >= static_cast<int32_t>(sc.surfaces.size()))
                Refuse(name, "Surface index " + std::to_string(i) + " out of range");
            if (op == "GetSurface")
                return HostVariant::MakeObject(std::make_unique<FakeObject>(s_, ObjKind::Surface, sector_, i));
            sc.surfaces.erase(sc.surfaces.begin() + i);  // DeleteSurface
            return {};
        }
        case ObjKind::Surface: {
            FakeSurface& sf = Surface(name);
            if (op == "NVertices") {
                Count(name, args, 0);
                return Int(static_cast<int64_t>(sf.vertices.size()));
            }
            if (op == "Update") {
                Count(name, args, 0);
                return {};
            }
            if (op == "GetAdjoin") {
                Count(name, args, 2);
                int32_t& a = IntOut(name, args[0]);
                int32_t& b = IntOut(name, args[1]);
                a = sf.adjoinA;
                b = sf.adjoinB;
                return {};
            }
            Count(name, args, 1);
            const int32_t k = Index(name, args[0]);
            if (k < 0 || k >= static_cast<int32_t>(sf.vertices.size()))
                Refuse(name, "Vertex position " + std::to_string(k) + " out of range");
            if (op == "GetVertex")
                return Int(sf.vertices[static_cast<size_t>(k)]);
            sf.vertices.erase(sf.vertices.begin() + k);  // DeleteVertex
            return {};
        }
        }
        return {};
    }

    std::shared_ptr<FakeLevel::State> s_;
    ObjKind kind_;
    int32_t sector_, surface_;
    std::string name_;
};

}  // namespace

FakeLevel::FakeLevel() : state_(std::make_shared<State>()) {}

FakeLevel::~FakeLevel()
{
#ifndef _WIN32
    if (!served_.empty())
        UnregisterFakeServer(served_);
#endif
}

FakeLevel& FakeLevel::AddSector(std::vector<FakeVertex> vertices)
{
    state_->sectors.push_back(FakeSector{std::move(vertices), {}});
    return *this;
}

FakeLevel& FakeLevel::AddSurface(int32_t adjoinA, int32_t adjoinB, std::vector<int32_t> vertices)
{
    if (state_->sectors.empty())
        AddSector();
    state_->sectors.back().surfaces.push_back(FakeSurface{adjoinA, adjoinB, std::move(vertices)});
    return *this;
}

FakeLevel& FakeLevel::Select(int32_t sector, int32_t surface, int32_t vertex)
{
    state_->curSC = sector;
    state_->curSF = surface;
    state_->curVX = vertex;
    return *this;
}

std::vector<FakeSector>& FakeLevel::Sectors() { return state_->sectors; }

std::unique_ptr<HostDispatch> FakeLevel::NewApp() { return std::make_unique<FakeObject>(state_, ObjKind::App); }

std::unique_ptr<HostDispatch> FakeLevel::NewLevel() { return std::make_unique<FakeObject>(state_, ObjKind::Level); }

#ifndef _WIN32
void FakeLevel::Serve(const std::string& progId)
{
    served_ = progId;
    std::weak_ptr<State> weak = state_;
    RegisterFakeServer(progId, [weak]() -> std::unique_ptr<HostDispatch> {
        const auto s = weak.lock();
        if (!s)
            throw OleError(OleErrorMessage(kClassStringInvalid), kClassStringInvalid);
        if (s->connectFailure)
            throw OleError(OleErrorMessage(s->connectFailure), s->connectFailure);
        return std::make_unique<FakeObject>(s, ObjKind::App);
    });
}

void FakeLevel::FailConnect(uint32_t code) { state_->connectFailure = code; }
#endif

void FakeLevel::FailWith(const std::string& op, const std::string& description, uint32_t scode)
{
    state_->faults[op] = Fault{Fault::Type::Description, description, scode, {}};
}

void FakeLevel::FailDeferred(const std::string& op, const std::string& description)
{
    state_->faults[op] = Fault{Fault::Type::Deferred, description, 0, {}};
}

void FakeLevel::FailCode(const std::string& op, uint32_t code)
{
    state_->faults[op] = Fault{Fault::Type::Code, {}, code, {}};
}

void FakeLevel::Answer(const std::string& op, std::function<HostVariant()> make)
{
    state_->faults[op] = Fault{Fault::Type::Answer, {}, 0, std::move(make)};
}

void FakeLevel::DieAfter(int calls) { state_->dieAfter = calls; }

void FakeLevel::ClearFaults()
{
    state_->faults.clear();
    state_->dieAfter = -1;
    state_->connectFailure = 0;
}

const std::vector<std::string>& FakeLevel::Log() const { return state_->log; }
void FakeLevel::ClearLog() { state_->log.clear(); }
int FakeLevel::Calls() const { return state_->calls; }

int FakeLevel::Calls(const std::string& op) const
{
    const auto it = state_->callsByOp.find(op);
    return it == state_->callsByOp.end() ? 0 : it->second;
}

int FakeLevel::Lookups() const { return state_->lookups; }
int FakeLevel::LiveObjects() const { return state_->live; }
