// A late-bound reference to one object of the editor: empty, holding an object, or holding an
// answer that is not an object. Operations are called on it by name.
#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "host/dispatch.h"

class HostObject {
public:
    HostObject() = default;
    HostObject(const HostObject&) = delete;
    HostObject& operator=(const HostObject&) = delete;
    ~HostObject();

    // Storing releases what was held before. Storing a null object, or an object answer that refers
    // to nothing, holds it as a value; storing an empty answer leaves the reference empty.
    void Set(std::unique_ptr<HostDispatch> object);
    void SetValue(HostVariant value);
    void Clear();

    bool IsEmpty() const { return !object_ && value_.kind() == HostVariant::Kind::Empty; }
    bool HoldsObject() const { return object_ != nullptr; }
    // The answer held when it is not an object (empty otherwise).
    const HostVariant& Value() const { return value_; }
    // The object held, or null.
    HostDispatch* Object() const { return object_.get(); }

    // Calls name and stores its answer into target: an object answer makes target hold that object,
    // any other answer makes it hold that value. The name is looked up first (a failure leaves
    // target as it was); target is emptied before the call itself, so a failed call leaves it empty.
    void CallInto(HostObject& target, const char* name, std::initializer_list<HostArg> args = {});
    // Calls name and reads its answer as a 32-bit integer (a count or an index).
    int32_t CallInt(const char* name, std::initializer_list<HostArg> args = {});
    // Calls name; the answer is not used.
    void Call(const char* name, std::initializer_list<HostArg> args = {});
    // Calls name and hands back its answer as it came.
    HostVariant CallValue(const char* name, std::initializer_list<HostArg> args = {});

private:
    HostDispatch& Target() const;
    int32_t IdOf(HostDispatch& target, const char* name);

    std::unique_ptr<HostDispatch> object_;
    HostVariant value_;
    // The identifiers of the names called on the object held, each looked up once (an object's
    // identifiers do not change while it lives; another object looks its names up anew).
    std::vector<std::pair<std::string, int32_t>> ids_;
};
