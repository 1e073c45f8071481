// An in-memory editor for native tests: application, level, sector and surface objects over a small
// level, with a call log, fault injection and a count of the objects still referenced.
//
//   FakeLevel lvl;
//   lvl.AddSector({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}}).AddSurface(-1, -1, {0, 1, 2});
//   lvl.Select(0, 0, 1);
//   AppObj.Set(lvl.NewApp());        // or lvl.Serve() and connect to "JED.App"
//
// Log lines: "lookup app Level", "call level NSectors", "call level GetSector i4:0",
// "call sector[0] GetSurface &i4:1", "call surface[0.1] GetAdjoin &i4:0 &i4:0",
// "call sector[1] GetVertex &i4:3 &r8:0 &r8:0 &r8:0", "release sector[0]"
// (arguments first to last, & for by reference, with the value passed in).
//
// Operation selectors for faults and counts: "Name" (on any object) or "kind.Name" with kind one of
// app, level, sector, surface, e.g. "GetVertex" or "surface.GetVertex".
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "host/dispatch.h"

struct FakeVertex {
    double x = 0, y = 0, z = 0;
};

struct FakeSurface {
    int32_t adjoinA = -1, adjoinB = -1;  // the two GetAdjoin outputs; -1: no adjoin there
    std::vector<int32_t> vertices;       // sector vertex indices, in face order
};

struct FakeSector {
    std::vector<FakeVertex> vertices;
    std::vector<FakeSurface> surfaces;
};

class FakeLevel {
public:
    FakeLevel();
    ~FakeLevel();
    FakeLevel(const FakeLevel&) = delete;
    FakeLevel& operator=(const FakeLevel&) = delete;

    // Building the level: AddSurface adds to the sector added last.
    FakeLevel& AddSector(std::vector<FakeVertex> vertices = {});
    FakeLevel& AddSurface(int32_t adjoinA, int32_t adjoinB, std::vector<int32_t> vertices);
    // The editor's selection: CurSC, CurSF, CurVX.
    FakeLevel& Select(int32_t sector, int32_t surface, int32_t vertex = 0);

    // The level as it is now, deletions included; tests may change it between calls.
    std::vector<FakeSector>& Sectors();

    // New references to the editor's objects (each one counts as live until it is destroyed).
    std::unique_ptr<HostDispatch> NewApp();
    std::unique_ptr<HostDispatch> NewLevel();
#ifndef _WIN32
    // Makes ConnectByProgId(progId) hand out a new application object, until this level is gone.
    void Serve(const std::string& progId = "JED.App");
    // The connection fails with this code instead.
    void FailConnect(uint32_t code);
#endif

    // Faults. FailWith: the editor reports an exception with this description (and scode);
    // FailDeferred: the same, with the description filled in only when the caller asks for it;
    // FailCode: the call answers the failure code itself (0x80020003: no such member);
    // Answer: the operation answers what make gives instead (text, null, empty, 2.5, 2^32, ...);
    // DieAfter: after that many calls the editor is gone: the next call fails with 0x800706BE,
    // every later call and lookup with 0x800706BA. ClearFaults removes them all.
    void FailWith(const std::string& op, const std::string& description, uint32_t scode = 0);
    void FailDeferred(const std::string& op, const std::string& description);
    void FailCode(const std::string& op, uint32_t code);
    void Answer(const std::string& op, std::function<HostVariant()> make);
    void DieAfter(int calls);
    void ClearFaults();

    const std::vector<std::string>& Log() const;
    void ClearLog();
    int Calls() const;                       // calls made so far (failed ones included)
    int Calls(const std::string& op) const;  // calls of one operation
    int Lookups() const;                     // name lookups so far
    int LiveObjects() const;                 // references handed out and not yet released

    struct State;

private:
    std::shared_ptr<State> state_;
    std::string served_;
};
