#include "global/global.h"

#include <algorithm>
#include <memory>
#include <new>

#include "app/Main.h"
#include "global/errors.h"
#include "global/files.h"

HostObject AppObj;
HostObject LevelObj;
HostObject SectorObj;
HostObject SurfaceObj;
bool Exportable = false;
std::string PrjFileName;
std::string PrjDir;
std::string ConverterDir;

void ShowStatus(const std::string& Text)
{
    Me->Bar.SetPanelText(Text);
}

namespace {

// Largest single buffer; bigger files are copied in pieces through it.
constexpr std::int64_t CopyChunk = 16 << 20;

} // namespace

void CopyFileData(const std::string& Source, const std::string& Destination)
{
    File source;
    if (!source.OpenReadExclusive(Source))
        throw Error(Format("Cannot open file %s", Source));
    // The source stays open until the copy is in place, so a destination that is the source
    // itself cannot be replaced and fails here.
    ReplacingFile destination(Destination);

    std::int64_t size = 0;
    if (!source.Size(size))
        throw Error(Format("Cannot read file %s", Source));

    const std::size_t bufferSize = static_cast<std::size_t>(std::clamp<std::int64_t>(size, 1, CopyChunk));
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bufferSize]);
    if (!buffer)
        throw Error("Out of memory");

    for (std::int64_t left = size; left > 0;) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(left, bufferSize));
        if (!ReadAll(source, buffer.get(), piece))
            throw Error(Format("Cannot read file %s", Source));
        destination.Write(buffer.get(), piece);
        left -= static_cast<std::int64_t>(piece);
    }
    buffer.reset();
    destination.Commit();
}

void global_Finalize()
{
    ConverterDir.clear();
    PrjDir.clear();
    PrjFileName.clear();
    SurfaceObj.Clear();
    SectorObj.Clear();
    LevelObj.Clear();
    AppObj.Clear();
}
