// The converter settings object and its global instance.
#include "settings/M_Registery.h"

#include "global/global.h"

namespace {

const char SettingsKey[] = "Software\\Tessaline\\Zym_Dxf\\";
const char FolderValue[] = "APath";

}  // namespace

TOReg* OReg = nullptr;

bool TOReg::OpenSettings()
{
    SetRootKey(RegRoot::CurrentUser);
    return OpenKey(SettingsKey, false);
}

void TOReg::ReadSettings()
{
    OpenSettings();
    // The key is open only for this call, whichever way it ends.
    struct KeyCloser {
        TRegistry& registry;
        ~KeyCloser() { registry.CloseKey(); }
    } closer{*this};
    if (ValueExists(FolderValue))
        ConverterDir = ReadString(FolderValue);
    else
        ConverterDir.clear();
}

void TOReg::CloseSettings()
{
    CloseKey();
    if (OReg == this)
        OReg = nullptr;
    delete this;
}

void M_Registery_Initialize()
{
    OReg = new TOReg;
}

void M_Registery_Finalize() {}
