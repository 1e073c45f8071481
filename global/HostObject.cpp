// Implements HostObject: the three states and late-bound calls by name.
#include <cstring>
#include "global/HostObject.h"
#include "global/errors.h"

HostObject::~HostObject() = default;

void HostObject::Set(std::unique_ptr<HostDispatch> object)
{
    if (!object) {
        SetValue(HostVariant::MakeObject(nullptr));
        return;
    }
    // The new reference is taken before the old one goes, as an assignment does.
    std::unique_ptr<HostDispatch> old = std::move(object_);
    object_ = std::move(object);
    value_ = HostVariant();
    ids_.clear();
    old.reset();
}

void HostObject::SetValue(HostVariant value)
{
    if (value.kind() == HostVariant::Kind::Object && value.object()) {
        Set(value.TakeObject());
        return;
    }
    std::unique_ptr<HostDispatch> old = std::move(object_);
    value_ = std::move(value);
    ids_.clear();
    old.reset();
}

void HostObject::Clear()
{
    std::unique_ptr<HostDispatch> old = std::move(object_);
    value_ = HostVariant();
    ids_.clear();
    old.reset();
}

HostDispatch& HostObject::Target() const
{
    if (!object_)
        throw Error("Variant does not reference an automation object");
    return *object_;
}

int32_t HostObject::IdOf(HostDispatch& target, const char* name)
{
    for (const auto& [known, id] : ids_)
        if (std::strcmp(known.c_str(), name) == 0)
            return id;
    const int32_t id = target.LookUp(name);
    ids_.emplace_back(name, id);
    return id;
}

void HostObject::CallInto(HostObject& target, const char* name, std::initializer_list<HostArg> args)
{
    HostDispatch& self = Target();
    const int32_t id = IdOf(self, name);
    // When the answer goes into this very reference, the object stays alive for the call.
    std::unique_ptr<HostDispatch> keep;
    if (&target == this)
        keep = std::move(object_);
    target.Clear();
    HostVariant answer = self.Invoke(id, name, std::span<const HostArg>(args.begin(), args.size()), true);
    target.SetValue(std::move(answer));
}

int32_t HostObject::CallInt(const char* name, std::initializer_list<HostArg> args)
{
    HostDispatch& self = Target();
    const int32_t id = IdOf(self, name);
    const HostVariant answer = self.Invoke(id, name, std::span<const HostArg>(args.begin(), args.size()), true);
    return ToInt32(answer);
}

void HostObject::Call(const char* name, std::initializer_list<HostArg> args)
{
    HostDispatch& self = Target();
    const int32_t id = IdOf(self, name);
    self.Invoke(id, name, std::span<const HostArg>(args.begin(), args.size()), false);
}

HostVariant HostObject::CallValue(const char* name, std::initializer_list<HostArg> args)
{
    HostDispatch& self = Target();
    const int32_t id = IdOf(self, name);
    return self.Invoke(id, name, std::span<const HostArg>(args.begin(), args.size()), true);
}
