// Late-bound calls to the editor's automation objects: arguments, answers, and the object interface.
// Portable: callers never see a platform type. On Windows the object is an IDispatch
// (dispatch_win32.cpp); native tests serve objects from memory.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// One argument of a call: a 32-bit integer by value, or a caller's variable by reference
// (the editor may write into it; the value it wrote lands in the variable after the call).
struct HostArg {
    enum class Kind : uint8_t { Int, IntRef, RealRef };
    Kind kind = Kind::Int;
    int32_t value = 0;
    int32_t* intRef = nullptr;
    double* realRef = nullptr;
};

inline HostArg ByVal(int32_t value) { return HostArg{HostArg::Kind::Int, value, nullptr, nullptr}; }
inline HostArg ByRef(int32_t& var) { return HostArg{HostArg::Kind::IntRef, var, &var, nullptr}; }
inline HostArg ByRef(double& var) { return HostArg{HostArg::Kind::RealRef, 0, nullptr, &var}; }

class HostDispatch;

// An answer of the editor. Move-only, since it may own an object reference.
// type() keeps the automation type code (VT_*) the answer arrived as, for diagnostics and for
// telling a 64-bit integer from a 32-bit one; the factories below set the usual code.
class HostVariant {
public:
    enum class Kind : uint8_t { Empty, Null, Integer, Real, Bool, Text, Object, Other };

    HostVariant() = default;
    HostVariant(HostVariant&&) noexcept = default;
    HostVariant& operator=(HostVariant&&) noexcept = default;
    HostVariant(const HostVariant&) = delete;
    HostVariant& operator=(const HostVariant&) = delete;
    ~HostVariant();

    static HostVariant MakeNull();
    static HostVariant MakeInteger(int64_t value, uint16_t type = 3 /* VT_I4 */);
    static HostVariant MakeReal(double value, uint16_t type = 5 /* VT_R8 */);
    static HostVariant MakeBool(bool value);
    static HostVariant MakeText(std::string value);
    // A null pointer makes an object answer that refers to nothing (VT_DISPATCH with no interface).
    static HostVariant MakeObject(std::unique_ptr<HostDispatch> object);
    // A kind the tool does not read (arrays, error values, unknown interfaces, ...).
    static HostVariant MakeOther(uint16_t type);

    Kind kind() const { return kind_; }
    uint16_t type() const { return type_; }
    int64_t integer() const { return integer_; }
    double real() const { return real_; }
    bool boolean() const { return integer_ != 0; }
    const std::string& text() const { return text_; }
    HostDispatch* object() const { return object_.get(); }
    std::unique_ptr<HostDispatch> TakeObject();

    // A short description for logs and test messages: "empty", "null", "i4:3", "r8:2.5", "bool:true",
    // "bstr:TEXT", "object", "object:none", "other:VT".
    std::string Describe() const;

private:
    Kind kind_ = Kind::Empty;
    uint16_t type_ = 0;
    int64_t integer_ = 0;
    double real_ = 0;
    std::string text_;
    std::unique_ptr<HostDispatch> object_;
};

// An object of the editor, called by name. Destroying it releases the reference it holds.
class HostDispatch {
public:
    HostDispatch() = default;
    HostDispatch(const HostDispatch&) = delete;
    HostDispatch& operator=(const HostDispatch&) = delete;
    virtual ~HostDispatch() = default;

    // The identifier of an operation; throws the call error for an unknown name or a failed round trip.
    virtual int32_t LookUp(const std::string& name) = 0;
    // Calls the operation. name is only for error messages (as the caller wrote it). wantAnswer tells
    // whether the caller reads the answer (an argument-less call that wants one may be served as a
    // property read). Throws the call error on failure; by-reference arguments are written back in
    // either case.
    virtual HostVariant Invoke(int32_t dispid, const char* name, std::span<const HostArg> args,
                               bool wantAnswer) = 0;
};

// Reads a count or index answer as a 32-bit signed integer: integers as they are, reals rounded to
// the nearest (halves to even), empty as 0, true as -1 and false as 0. Text, null, objects, other
// kinds, and numbers that do not fit in 32 bits raise "Invalid variant type conversion".
int32_t ToInt32(const HostVariant& answer);

// Compares an answer with an index by numeric value, exactly (2.5 never equals 2; 3.0 equals 3;
// true is -1). Null equals nothing. Text equals the index when the whole text, less surrounding
// blanks, reads as a decimal number of that value; other text equals nothing. Empty, object and
// other answers raise "Invalid variant operation".
bool VariantEqualsInt(const HostVariant& answer, int32_t value);
