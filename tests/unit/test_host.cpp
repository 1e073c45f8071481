// Late-bound calls through HostObject against the in-memory editor: answers, errors, the moment the
// answer's reference is emptied, by-reference outputs, name caching and releases.
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include "doubles/fake_host.h"
#include "global/HostObject.h"
#include "host/connect.h"
#include "host/oleerror.h"

namespace {

using Log = std::vector<std::string>;

std::string MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

class HostCalls : public ::testing::Test {
protected:
    HostCalls()
    {
        lvl.AddSector({{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 1.5}})
            .AddSurface(-1, -1, {0, 1, 2})
            .AddSurface(1, 0, {0, 2, 3})
            .AddSector({{5, 5, 5}})
            .AddSurface(-1, 3, {0});
        app.Set(lvl.NewApp());
        app.CallInto(level, "Level");
        lvl.ClearLog();
    }

    FakeLevel lvl;
    HostObject app, level, sector, surface;
};

TEST_F(HostCalls, CallsByNameReachTheEditorWithTheirArgumentKinds)
{
    EXPECT_EQ(level.CallInt("NSectors"), 2);
    int32_t index = 1;
    level.CallInto(sector, "GetSector", {ByRef(index)});
    ASSERT_TRUE(sector.HoldsObject());
    EXPECT_EQ(sector.CallInt("NSurfaces"), 1);
    sector.CallInto(surface, "GetSurface", {ByVal(0)});
    EXPECT_EQ(surface.CallInt("NVertices"), 1);
    EXPECT_EQ(ToInt32(surface.CallValue("GetVertex", {ByVal(0)})), 0);
    sector.Call("Update");

    EXPECT_EQ(lvl.Log(), (Log{
                             "lookup level NSectors",
                             "call level NSectors",
                             "lookup level GetSector",
                             "call level GetSector &i4:1",
                             "lookup sector[1] NSurfaces",
                             "call sector[1] NSurfaces",
                             "lookup sector[1] GetSurface",
                             "call sector[1] GetSurface i4:0",
                             "lookup surface[1.0] NVertices",
                             "call surface[1.0] NVertices",
                             "lookup surface[1.0] GetVertex",
                             "call surface[1.0] GetVertex i4:0",
                             "lookup sector[1] Update",
                             "call sector[1] Update",
                         }));
}

TEST_F(HostCalls, ByReferenceOutputsLandInTheCallersVariables)
{
    level.CallInto(sector, "GetSector", {ByVal(0)});
    sector.CallInto(surface, "GetSurface", {ByVal(1)});
    int32_t a = 7, b = 8;
    surface.Call("GetAdjoin", {ByRef(a), ByRef(b)});
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 0);

    int32_t v = 3;
    double x = 0.25, y = 0, z = 0;
    sector.Call("GetVertex", {ByRef(v), ByRef(x), ByRef(y), ByRef(z)});
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(z, 1.5);
    // The log shows what went in.
    EXPECT_EQ(lvl.Log()[lvl.Log().size() - 3], "call surface[0.1] GetAdjoin &i4:7 &i4:8");
    EXPECT_EQ(lvl.Log().back(), "call sector[0] GetVertex &i4:3 &r8:0.25 &r8:0 &r8:0");
}

TEST_F(HostCalls, EachNameIsLookedUpOncePerObject)
{
    const int lookups = lvl.Lookups(), calls = lvl.Calls();
    for (int i = 0; i < 3; ++i) {
        level.CallInt("NSectors");
        level.CallInto(sector, "GetSector", {ByVal(0)});
    }
    EXPECT_EQ(lvl.Lookups() - lookups, 2);
    EXPECT_EQ(lvl.Calls() - calls, 6);

    // A new sector object behind the same reference asks for its names again.
    sector.CallInt("NSurfaces");
    sector.CallInt("NSurfaces");
    level.CallInto(sector, "GetSector", {ByVal(1)});
    sector.CallInt("NSurfaces");
    EXPECT_EQ(std::count(lvl.Log().begin(), lvl.Log().end(), "lookup sector[0] NSurfaces"), 1);
    EXPECT_EQ(std::count(lvl.Log().begin(), lvl.Log().end(), "lookup sector[1] NSurfaces"), 1);

    // So does a new level object.
    app.CallInto(level, "Level");
    level.CallInt("NSectors");
    EXPECT_EQ(std::count(lvl.Log().begin(), lvl.Log().end(), "lookup level NSectors"), 2);
}

TEST_F(HostCalls, StoringReleasesWhatWasHeld)
{
    EXPECT_EQ(lvl.LiveObjects(), 2);  // app, level
    level.CallInto(sector, "GetSector", {ByVal(0)});
    level.CallInto(sector, "GetSector", {ByVal(1)});
    EXPECT_EQ(lvl.LiveObjects(), 3);
    // The old sector goes before the call that fetches the new one.
    EXPECT_EQ(lvl.Log(), (Log{"lookup level GetSector", "call level GetSector i4:0", "release sector[0]",
                              "call level GetSector i4:1"}));

    // An answer that is not used is released at once.
    lvl.ClearLog();
    level.Call("GetSector", {ByVal(0)});
    EXPECT_EQ(lvl.Log(), (Log{"call level GetSector i4:0", "release sector[0]"}));
    EXPECT_EQ(level.CallInt("NSectors"), 2);

    sector.SetValue(HostVariant::MakeText("x"));
    EXPECT_EQ(lvl.LiveObjects(), 2);
    {
        HostObject local;
        app.CallInto(local, "Level");
        EXPECT_EQ(lvl.LiveObjects(), 3);
    }
    EXPECT_EQ(lvl.LiveObjects(), 2);
    level.Clear();
    app.Clear();
    EXPECT_EQ(lvl.LiveObjects(), 0);
    EXPECT_TRUE(app.IsEmpty());
}

TEST_F(HostCalls, AnAnswerStoredIntoItsOwnReferenceKeepsTheObjectForTheCall)
{
    app.CallInto(app, "Level");
    EXPECT_TRUE(app.HoldsObject());
    EXPECT_EQ(app.CallInt("NSectors"), 2);
    EXPECT_EQ(lvl.LiveObjects(), 2);  // the two levels
    EXPECT_EQ(lvl.Log(), (Log{"call app Level", "release app", "lookup level NSectors", "call level NSectors"}));
}

TEST_F(HostCalls, EmptyReferencesAndValuesAreNoObjects)
{
    const std::string noObject = "Variant does not reference an automation object";
    HostObject empty;
    EXPECT_EQ(MessageOf([&] { empty.CallInt("NSectors"); }), noObject);

    // A non-object answer is held as a value, and calls through it fail the same way.
    lvl.Answer("GetSector", [] { return HostVariant::MakeText("abc"); });
    level.CallInto(sector, "GetSector", {ByVal(0)});
    EXPECT_FALSE(sector.IsEmpty());
    EXPECT_FALSE(sector.HoldsObject());
    EXPECT_EQ(sector.Value().text(), "abc");
    EXPECT_EQ(MessageOf([&] { sector.Call("Update"); }), noObject);

    // The call fails before any lookup, and the reference meant for the answer stays as it was.
    level.CallInto(surface, "GetSector", {ByVal(0)});
    lvl.ClearLog();
    HostObject target;
    app.CallInto(target, "Level");
    EXPECT_EQ(MessageOf([&] { empty.CallInto(target, "GetSector", {ByVal(0)}); }), noObject);
    EXPECT_TRUE(target.HoldsObject());
    EXPECT_EQ(lvl.Log(), (Log{"call app Level"}));
}

TEST_F(HostCalls, FailedLookupLeavesTheAnswersReferenceFailedCallEmptiesIt)
{
    level.CallInto(sector, "GetSector", {ByVal(0)});
    EXPECT_EQ(MessageOf([&] { level.CallInto(sector, "GetSektor", {ByVal(1)}); }),
              "Method 'GetSektor' not supported by automation object");
    EXPECT_TRUE(sector.HoldsObject());
    EXPECT_EQ(sector.CallInt("NSurfaces"), 2);

    EXPECT_EQ(MessageOf([&] { level.CallInto(sector, "GetSector", {ByVal(5)}); }),
              "Sector index 5 out of range");
    EXPECT_TRUE(sector.IsEmpty());
    EXPECT_EQ(lvl.LiveObjects(), 2);

    // A name is not case-sensitive for the editor, but the error shows it as the caller wrote it.
    EXPECT_EQ(level.CallInt("nsectors"), 2);
    EXPECT_EQ(MessageOf([&] { level.CallInt("nSectorz"); }), "Method 'nSectorz' not supported by automation object");
}

std::string SystemTexts(uint32_t code)
{
    return code == 0x80004005 ? "Unspecified error\r\n" : "";
}

TEST_F(HostCalls, EditorFailuresBecomeTheirMessages)
{
    const SystemTextSource previous = SetSystemTextSource(SystemTexts);
    struct Failure {
        const char* what;
        std::function<void(FakeLevel&)> arrange;
        std::string message;
        uint32_t code;
    };
    const Failure failures[] = {
        {"description trimmed", [](FakeLevel& l) { l.FailWith("NSectors", "Level is locked  .\r\n"); },
         "Level is locked", kDispException},
        {"description with scode", [](FakeLevel& l) { l.FailWith("NSectors", "Busy.", 0x80004005); }, "Busy",
         0x80004005},
        {"only full stops: text of scode", [](FakeLevel& l) { l.FailWith("NSectors", "...", 0x80004005); },
         "Unspecified error", 0x80004005},
        {"empty: no text for scode", [](FakeLevel& l) { l.FailWith("NSectors", "", 0x80040201); },
         "OLE error 80040201", 0x80040201},
        {"empty without code", [](FakeLevel& l) { l.FailWith("NSectors", ""); }, "OLE error 80020009",
         kDispException},
        {"deferred description", [](FakeLevel& l) { l.FailDeferred("level.NSectors", "Not now.\r\n"); }, "Not now",
         kDispException},
        {"member not found", [](FakeLevel& l) { l.FailCode("NSectors", kDispMemberNotFound); },
         "OLE error 80020003", kDispMemberNotFound},
        {"other code", [](FakeLevel& l) { l.FailCode("NSectors", 0x80010108); }, "OLE error 80010108", 0x80010108},
        {"other code with text", [](FakeLevel& l) { l.FailCode("NSectors", 0x80004005); }, "Unspecified error",
         0x80004005},
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        lvl.ClearFaults();
        f.arrange(lvl);
        try {
            level.CallInt("NSectors");
            ADD_FAILURE() << "no error";
        } catch (const OleError& e) {
            EXPECT_EQ(std::string(e.what()), f.message);
            EXPECT_EQ(e.code(), f.code);
        }
    }
    SetSystemTextSource(previous);
}

TEST_F(HostCalls, CountAnswersOfEveryKind)
{
    struct Kind {
        const char* what;
        std::function<HostVariant()> make;
        std::string outcome;  // the integer, or the error
    };
    const Kind kinds[] = {
        {"i4", [] { return HostVariant::MakeInteger(4); }, "4"},
        {"fraction", [] { return HostVariant::MakeReal(2.5); }, "2"},
        {"empty", [] { return HostVariant(); }, "0"},
        {"text", [] { return HostVariant::MakeText("abc"); }, "Invalid variant type conversion"},
        {"null", [] { return HostVariant::MakeNull(); }, "Invalid variant type conversion"},
        {"real 2^32", [] { return HostVariant::MakeReal(4294967296.0); }, "Invalid variant type conversion"},
        {"i8 2^32", [] { return HostVariant::MakeInteger(4294967296LL, 20); }, "Invalid variant type conversion"},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.what);
        lvl.Answer("NVertices", k.make);
        sector.SetValue(HostVariant());
        level.CallInto(sector, "GetSector", {ByVal(0)});
        sector.CallInto(surface, "GetSurface", {ByVal(0)});
        std::string outcome;
        try {
            outcome = std::to_string(surface.CallInt("NVertices"));
        } catch (const Error& e) {
            outcome = e.what();
        }
        EXPECT_EQ(outcome, k.outcome);
    }

    // An object where a count is wanted fails, and the object is released.
    lvl.Answer("NSectors", [this] { return HostVariant::MakeObject(lvl.NewLevel()); });
    const int live = lvl.LiveObjects();
    EXPECT_EQ(MessageOf([&] { level.CallInt("NSectors"); }), "Invalid variant type conversion");
    EXPECT_EQ(lvl.LiveObjects(), live);
}

std::string NoSystemTexts(uint32_t)
{
    return {};
}

TEST_F(HostCalls, AKilledEditorFailsEveryLaterCall)
{
    const SystemTextSource previous = SetSystemTextSource(NoSystemTexts);
    lvl.DieAfter(lvl.Calls() + 1);
    EXPECT_EQ(level.CallInt("NSectors"), 2);
    const auto codeOf = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const OleError& e) {
            return e.code();
        }
        return 0u;
    };
    EXPECT_EQ(codeOf([&] { level.CallInt("NSectors"); }), kRpcCallFailed);
    EXPECT_EQ(codeOf([&] { level.CallInto(sector, "GetSector", {ByVal(0)}); }), kRpcServerUnavailable);
    EXPECT_EQ(codeOf([&] { app.CallInt("CurSC"); }), kRpcServerUnavailable);  // its lookup fails too
    EXPECT_EQ(MessageOf([&] { level.CallInt("NSectors"); }), "OLE error 800706BA");
    SetSystemTextSource(previous);
    level.Clear();
    app.Clear();
    EXPECT_EQ(lvl.LiveObjects(), 0);
}

TEST_F(HostCalls, DeletionsChangeTheLevel)
{
    int32_t sc = 0, sf = 0;
    level.CallInto(sector, "GetSector", {ByRef(sc)});
    sector.Call("DeleteSurface", {ByRef(sf)});
    ASSERT_EQ(lvl.Sectors()[0].surfaces.size(), 1u);
    sector.CallInto(surface, "GetSurface", {ByVal(0)});
    surface.Call("DeleteVertex", {ByVal(1)});
    EXPECT_EQ(lvl.Sectors()[0].surfaces[0].vertices, (std::vector<int32_t>{0, 3}));
    EXPECT_EQ(lvl.Calls("DeleteVertex"), 1);
    EXPECT_EQ(MessageOf([&] { surface.Call("DeleteVertex", {ByVal(2)}); }), "Vertex position 2 out of range");
}

#ifndef _WIN32
TEST(HostConnect, ConnectsToARegisteredServerOnly)
{
    const auto connectError = [](const std::string& progId) {
        try {
            ConnectByProgId(progId);
        } catch (const OleError& e) {
            return std::make_pair(std::string(e.what()), e.code());
        }
        return std::make_pair(std::string("no error"), 0u);
    };
    EXPECT_EQ(connectError("JED.App"), std::make_pair(std::string("OLE error 800401F3"), kClassStringInvalid));
    {
        FakeLevel lvl;
        lvl.AddSector();
        lvl.Serve();
        HostObject app, level;
        app.Set(ConnectByProgId("JED.App"));
        app.CallInto(level, "Level");
        EXPECT_EQ(level.CallInt("NSectors"), 1);

        lvl.FailConnect(0x80080005);
        EXPECT_EQ(connectError("JED.App"), std::make_pair(std::string("OLE error 80080005"), 0x80080005u));
    }
    EXPECT_EQ(connectError("JED.App").second, kClassStringInvalid);
    EXPECT_TRUE(ComStart());
    ComStop(true);
}
#endif

}  // namespace
