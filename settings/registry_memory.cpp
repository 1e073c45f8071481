// The settings store where there is no registry: keys and values in memory for
// the run. Paths and names behave as in the registry: case does not matter, runs
// of backslashes and a trailing backslash separate nothing, a leading backslash
// makes the path invalid.
#include "settings/registry_memory.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <stdexcept>

namespace {

char Upper(char c)
{
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// The path in one spelling, or nothing when the registry would refuse it.
std::optional<std::string> Normalise(const std::string& path)
{
    if (!path.empty() && path.front() == '\\')
        return std::nullopt;
    std::string out;
    for (char c : path) {
        if (c == '\\') {
            if (!out.empty() && out.back() != '\\')
                out += '\\';
        } else {
            out += Upper(c);
        }
    }
    if (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

std::string NormaliseOrThrow(const std::string& path)
{
    auto n = Normalise(path);
    if (!n)
        throw std::invalid_argument("invalid key path: " + path);
    return *n;
}

class MemoryKey final : public RegistryKey {
public:
    MemoryKey(RegRoot root, std::string path) : root_(root), path_(std::move(path))
    {
        MemoryRegistry::Instance().KeyOpened();
    }
    ~MemoryKey() override { MemoryRegistry::Instance().KeyClosed(); }

    bool QueryInfo(const std::string& name, std::uint32_t& type, std::uint32_t& size) const override
    {
        auto& store = MemoryRegistry::Instance();
        const MemoryValue* value = Value(name);
        if (!value || store.faults.queryInfoFails)
            return false;
        type = value->type;
        size = static_cast<std::uint32_t>(value->data.size());
        return true;
    }

    bool QueryData(const std::string& name, std::uint32_t& type, std::string& data) const override
    {
        auto& store = MemoryRegistry::Instance();
        const MemoryValue* value = Value(name);
        if (!value || store.faults.queryDataFails || value->data.size() > data.size())
            return false;
        type = value->type;
        data = value->data;
        return true;
    }

    bool SetValue(const std::string& name, std::uint32_t type, const std::string& data) override
    {
        auto& store = MemoryRegistry::Instance();
        MemoryRegistry::Key* key = store.FindKey(root_, path_);
        if (!key || store.faults.setValueFails)
            return false;
        key->values[name] = MemoryValue{type, data};
        return true;
    }

private:
    // The key may have gone since it was opened; its values then are gone too.
    const MemoryValue* Value(const std::string& name) const
    {
        MemoryRegistry::Key* key = MemoryRegistry::Instance().FindKey(root_, path_);
        if (!key)
            return nullptr;
        auto it = key->values.find(name);
        return it == key->values.end() ? nullptr : &it->second;
    }

    RegRoot root_;
    std::string path_;
};

}  // namespace

bool RegNameLess::operator()(const std::string& a, const std::string& b) const
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Upper(x) < Upper(y); });
}

MemoryRegistry& MemoryRegistry::Instance()
{
    static MemoryRegistry store;
    return store;
}

void MemoryRegistry::Reset()
{
    keys_.clear();
    faults = MemoryFaults{};
}

void MemoryRegistry::AddKey(RegRoot root, const std::string& path)
{
    keys_[{root, NormaliseOrThrow(path)}];
}

bool MemoryRegistry::KeyExists(RegRoot root, const std::string& path) const
{
    return keys_.count({root, NormaliseOrThrow(path)}) != 0;
}

void MemoryRegistry::Put(RegRoot root, const std::string& path, const std::string& name, std::uint32_t type,
                         const std::string& data)
{
    keys_[{root, NormaliseOrThrow(path)}].values[name] = MemoryValue{type, data};
}

const MemoryValue* MemoryRegistry::Find(RegRoot root, const std::string& path, const std::string& name) const
{
    auto key = keys_.find({root, NormaliseOrThrow(path)});
    if (key == keys_.end())
        return nullptr;
    auto value = key->second.values.find(name);
    return value == key->second.values.end() ? nullptr : &value->second;
}

std::size_t MemoryRegistry::ValueCount(RegRoot root, const std::string& path) const
{
    auto key = keys_.find({root, NormaliseOrThrow(path)});
    return key == keys_.end() ? 0 : key->second.values.size();
}

MemoryRegistry::Key* MemoryRegistry::FindKey(RegRoot root, const std::string& normalisedPath)
{
    auto key = keys_.find({root, normalisedPath});
    return key == keys_.end() ? nullptr : &key->second;
}

std::unique_ptr<RegistryKey> OpenRegistryKey(RegRoot root, const std::string& path)
{
    auto& store = MemoryRegistry::Instance();
    auto normalised = Normalise(path);
    if (!normalised || !store.FindKey(root, *normalised) || store.faults.openFails)
        return nullptr;
    return std::make_unique<MemoryKey>(root, *normalised);
}
