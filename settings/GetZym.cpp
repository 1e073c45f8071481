// Locating the converter's folder: from the settings store, or once from the user.
#include "app/Main.h"
#include "global/global.h"
#include "settings/M_Registery.h"

namespace {

// All characters up to and including the last backslash or colon; empty when there is neither.
std::string FolderPart(const std::string& path)
{
    const auto at = path.find_last_of("\\:");
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

} // namespace

void TMe::GetZym()
{
    Sd1.FileName = "Zym_DXF.EXE";
    Sd1.Filter = "EXE FILE |*.EXE";
    Sd1.Title = "Locate the directory Zym_dxf is in";

    OReg->ReadSettings();
    OReg->CloseSettings();
    if (!ConverterDir.empty())
        return; // used as stored: not tested, no backslash added
    if (!Sd1.Execute())
        return; // nothing stored: the next start asks again

    // Set before storing, so that it holds for this run even when storing fails.
    ConverterDir = FolderPart(Sd1.FileName);
    OReg = new TOReg;
    OReg->OpenSettings();
    OReg->WriteString("APath", ConverterDir);
    OReg->CloseSettings();
}
