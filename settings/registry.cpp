// Implements the portable registry interface over the linked-in store.
#include "settings/registry.h"

#include <stdexcept>

#include "global/errors.h"

TRegistry::TRegistry() : root_(RegRoot::CurrentUser) {}

TRegistry::~TRegistry() = default;

void TRegistry::SetRootKey(RegRoot root)
{
    if (root == root_)
        return;
    CloseKey();
    root_ = root;
}

bool TRegistry::OpenKey(const std::string& path, bool canCreate)
{
    if (canCreate)
        throw std::logic_error("TRegistry::OpenKey: creating keys is not supported");
    CloseKey();
    key_ = OpenRegistryKey(root_, path);
    if (!key_)
        return false;
    currentPath_ = path;
    return true;
}

bool TRegistry::ValueExists(const std::string& name) const
{
    if (!key_)
        return false;
    std::uint32_t type = 0, size = 0;
    return key_->QueryInfo(name, type, size);
}

std::string TRegistry::ReadString(const std::string& name) const
{
    std::uint32_t type = 0, size = 0;
    if (!key_ || !key_->QueryInfo(name, type, size) || size == 0)
        return {};
    std::string data(size, '\0');
    if (!key_->QueryData(name, type, data))
        throw Error(Format("Failed to get data for '%s'", name));
    if (type != RegType::String && type != RegType::ExpandString)
        throw Error(Format("Invalid data type for '%s'", name));
    const auto end = data.find('\0');
    if (end != std::string::npos)
        data.resize(end);
    return data;
}

void TRegistry::WriteString(const std::string& name, const std::string& text)
{
    // The stored data include the terminating zero byte.
    const std::string data(text.c_str(), text.size() + 1);
    if (!key_ || !key_->SetValue(name, RegType::String, data))
        throw Error(Format("Failed to set data for '%s'", name));
}

void TRegistry::CloseKey()
{
    key_.reset();
    currentPath_.clear();
}
