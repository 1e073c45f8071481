// Reading the editor's answers as integers and indices, and the texts of call errors.
#include <cmath>
#include <functional>
#include <limits>
#include <gtest/gtest.h>
#include "host/dispatch.h"
#include "host/oleerror.h"

namespace {

struct Case {
    const char* what;
    std::function<HostVariant()> make;
    bool fails;
    int32_t expected;
};

TEST(HostAnswer, ToInt32FollowsTheVariantConversionRules)
{
    const Case cases[] = {
        {"i4", [] { return HostVariant::MakeInteger(7); }, false, 7},
        {"i4 negative", [] { return HostVariant::MakeInteger(-1); }, false, -1},
        {"i8 in range", [] { return HostVariant::MakeInteger(-2147483648LL, 20); }, false, INT32_MIN},
        {"i8 2^32", [] { return HostVariant::MakeInteger(4294967296LL, 20); }, true, 0},
        {"i8 2^31", [] { return HostVariant::MakeInteger(2147483648LL, 20); }, true, 0},
        {"2.5 to even", [] { return HostVariant::MakeReal(2.5); }, false, 2},
        {"3.5 to even", [] { return HostVariant::MakeReal(3.5); }, false, 4},
        {"-2.5 to even", [] { return HostVariant::MakeReal(-2.5); }, false, -2},
        {"2.4999", [] { return HostVariant::MakeReal(2.4999); }, false, 2},
        {"-0.6", [] { return HostVariant::MakeReal(-0.6); }, false, -1},
        {"max + 0.4", [] { return HostVariant::MakeReal(2147483647.4); }, false, INT32_MAX},
        {"max + 0.5 rounds out", [] { return HostVariant::MakeReal(2147483647.5); }, true, 0},
        {"min - 0.5 rounds to even min", [] { return HostVariant::MakeReal(-2147483648.5); }, false, INT32_MIN},
        {"real 2^32", [] { return HostVariant::MakeReal(4294967296.0); }, true, 0},
        {"NaN", [] { return HostVariant::MakeReal(std::nan("")); }, true, 0},
        {"empty", [] { return HostVariant(); }, false, 0},
        {"true", [] { return HostVariant::MakeBool(true); }, false, -1},
        {"false", [] { return HostVariant::MakeBool(false); }, false, 0},
        {"text", [] { return HostVariant::MakeText("12"); }, true, 0},
        {"null", [] { return HostVariant::MakeNull(); }, true, 0},
        {"object none", [] { return HostVariant::MakeObject(nullptr); }, true, 0},
        {"array", [] { return HostVariant::MakeOther(0x2003); }, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const HostVariant v = c.make();
        if (c.fails) {
            try {
                ToInt32(v);
                ADD_FAILURE() << "no error";
            } catch (const Error& e) {
                EXPECT_STREQ(e.what(), "Invalid variant type conversion");
            }
        } else {
            EXPECT_EQ(ToInt32(v), c.expected);
        }
    }
}

TEST(HostAnswer, VariantEqualsIntComparesExactValues)
{
    struct Eq {
        const char* what;
        std::function<HostVariant()> make;
        int32_t index;
        bool equal;
    };
    const Eq cases[] = {
        {"same integer", [] { return HostVariant::MakeInteger(3); }, 3, true},
        {"other integer", [] { return HostVariant::MakeInteger(4); }, 3, false},
        {"i8 beyond 32 bits", [] { return HostVariant::MakeInteger(4294967299LL, 20); }, 3, false},
        {"fraction never", [] { return HostVariant::MakeReal(2.5); }, 2, false},
        {"whole real", [] { return HostVariant::MakeReal(3.0); }, 3, true},
        {"null matches nothing", [] { return HostVariant::MakeNull(); }, 0, false},
        {"true is -1", [] { return HostVariant::MakeBool(true); }, -1, true},
        {"false is 0", [] { return HostVariant::MakeBool(false); }, 0, true},
        {"numeric text", [] { return HostVariant::MakeText(" 3 "); }, 3, true},
        {"numeric text with fraction", [] { return HostVariant::MakeText("3.5"); }, 3, false},
        {"negative text", [] { return HostVariant::MakeText("-2"); }, -2, true},
        {"other text", [] { return HostVariant::MakeText("abc"); }, 0, false},
        {"empty text", [] { return HostVariant::MakeText(""); }, 0, false},
        {"text with tail", [] { return HostVariant::MakeText("3x"); }, 3, false},
    };
    for (const Eq& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(VariantEqualsInt(c.make(), c.index), c.equal);
    }

    const std::function<HostVariant()> refused[] = {
        [] { return HostVariant(); },
        [] { return HostVariant::MakeObject(nullptr); },
        [] { return HostVariant::MakeOther(0x2003); },
    };
    for (const auto& make : refused) {
        try {
            VariantEqualsInt(make(), 0);
            ADD_FAILURE() << "no error for " << make().Describe();
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Invalid variant operation");
        }
    }
}

TEST(HostErrorText, TrimmingStripsBlanksControlsAndFullStopsFromTheEnd)
{
    const std::pair<std::string, std::string> cases[] = {
        {"Sector index 7 out of range  .\r\n", "Sector index 7 out of range"},
        {"...", ""},
        {" \t\r\n", ""},
        {"", ""},
        {"a.b.", "a.b"},
        {"..x", "..x"},
        {"One. Two.\n.", "One. Two"},
        {std::string("Fin\xe9.", 5), std::string("Fin\xe9", 4)},  // a letter of the code page is kept
        {"x-.", "x-"},                                             // other punctuation stays
        {"x,", "x,"},
        {std::string("x\x7f", 2), std::string("x\x7f", 2)},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(TrimMessageTail(in), out) << in;
}

std::string SomeSystemTexts(uint32_t code)
{
    switch (code) {
    case 0x80004005: return "Unspecified error\r\n";
    case 0x800706BA: return "The RPC server is unavailable.\r\n";
    case 0x8007000E: return " . \r\n";  // nothing left after trimming
    default: return {};
    }
}

class HostErrorWithTexts : public ::testing::Test {
protected:
    void SetUp() override { previous_ = SetSystemTextSource(SomeSystemTexts); }
    void TearDown() override { SetSystemTextSource(previous_); }
    SystemTextSource previous_ = nullptr;
};

TEST_F(HostErrorWithTexts, CodeMessagesUseTheSystemTextElseTheCode)
{
    EXPECT_EQ(OleErrorMessage(0x80004005), "Unspecified error");
    EXPECT_EQ(OleErrorMessage(0x800706BA), "The RPC server is unavailable");
    EXPECT_EQ(OleErrorMessage(0x8007000E), "OLE error 8007000E");
    EXPECT_EQ(OleErrorMessage(0x800401f3), "OLE error 800401F3");
    EXPECT_EQ(OleErrorMessage(0x00000001), "OLE error 00000001");
}

TEST_F(HostErrorWithTexts, ExceptionMessagesAndCodes)
{
    struct Ex {
        const char* what;
        std::string description;
        uint32_t scode;
        uint16_t wCode;
        std::string message;
        uint32_t code;
    };
    const Ex cases[] = {
        {"description", "Bad face  .\r\n", 0x80004005, 0, "Bad face", 0x80004005},
        {"only dots: system text of scode", "..", 0x80004005, 0, "Unspecified error", 0x80004005},
        {"empty: no system text", "", 0x80040201, 0, "OLE error 80040201", 0x80040201},
        {"wCode stands for 0x80040000 + wCode", "", 0, 5, "OLE error 80040005", 0x80040005},
        {"no code at all", "", 0, 0, "OLE error 80020009", kDispException},
    };
    for (const Ex& c : cases) {
        SCOPED_TRACE(c.what);
        HostException e;
        e.description = c.description;
        e.scode = c.scode;
        e.wCode = c.wCode;
        const OleError error = ExceptionError(e);
        EXPECT_EQ(std::string(error.what()), c.message);
        EXPECT_EQ(error.code(), c.code);
    }
}

TEST_F(HostErrorWithTexts, DeferredFillInRunsOnceBeforeTheFieldsAreRead)
{
    int runs = 0;
    HostException e;
    e.fillIn = [&runs](HostException& h) {
        ++runs;
        h.description = "Filled in later.";
        h.scode = 0x80004005;
    };
    const OleError error = ExceptionError(e);
    EXPECT_STREQ(error.what(), "Filled in later");
    EXPECT_EQ(error.code(), 0x80004005u);
    EXPECT_EQ(runs, 1);

    HostException blank;
    blank.fillIn = [](HostException& h) { h.scode = 0x80004005; };
    EXPECT_STREQ(ExceptionError(blank).what(), "Unspecified error");
}

TEST_F(HostErrorWithTexts, CallFailuresByCode)
{
    const auto message = [](uint32_t code, HostException* e = nullptr) {
        try {
            RaiseCallFailure(code, "GetSurface", e);
        } catch (const OleError& error) {
            EXPECT_EQ(error.code(), code);
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(kDispUnknownName), "Method 'GetSurface' not supported by automation object");
    EXPECT_EQ(message(kDispMemberNotFound), "OLE error 80020003");
    EXPECT_EQ(message(0x800706BA), "The RPC server is unavailable");
    EXPECT_EQ(message(kDispBadParamCount), "OLE error 8002000E");
    EXPECT_EQ(message(kDispException), "OLE error 80020009");  // an exception without its details
}

}  // namespace
