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

// The copy is made under this name beside the destination, then renamed into place.
std::string TemporaryNameFor(const std::string& destination)
{
    return destination + ".vexmold-tmp";
}

// Largest single buffer; bigger files are copied in pieces through it.
constexpr std::int64_t CopyChunk = 16 << 20;

} // namespace

void CopyFileData(const std::string& Source, const std::string& Destination)
{
    File source;
    if (!source.OpenReadExclusive(Source))
        throw Error(Format("Cannot open file %s", Source));

    // A destination that cannot be replaced fails before anything is written; so does the source
    // itself, which this copy holds open.
    if (!CanReplaceFile(Destination))
        throw Error(Format("Cannot create file %s", Destination));
    const std::string temporary = TemporaryNameFor(Destination);
    File destination;
    if (!destination.CreateExclusive(temporary))
        throw Error(Format("Cannot create file %s", Destination));

    // From here on a failure removes the unfinished copy; the destination stays as it was.
    auto fail = [&](const std::string& message) {
        destination.Close();
        DeleteFileAt(temporary);
        throw Error(message);
    };

    std::int64_t size = 0;
    if (!source.Size(size))
        fail(Format("Cannot read file %s", Source));

    const std::size_t bufferSize = static_cast<std::size_t>(std::clamp<std::int64_t>(size, 1, CopyChunk));
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[bufferSize]);
    if (!buffer)
        fail("Out of memory");

    for (std::int64_t left = size; left > 0;) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::int64_t>(left, bufferSize));
        if (!ReadAll(source, buffer.get(), piece))
            fail(Format("Cannot read file %s", Source));
        if (!WriteAll(destination, buffer.get(), piece))
            fail(Format("Cannot write file %s", Destination));
        left -= static_cast<std::int64_t>(piece);
    }
    buffer.reset();

    if (!destination.Flush() || !destination.Close())
        fail(Format("Cannot write file %s", Destination));
    // The source stays open until the copy is in place, so it can never be replaced by itself.
    if (!ReplaceFileWith(temporary, Destination)) {
        DeleteFileAt(temporary);
        throw Error(Format("Cannot create file %s", Destination));
    }
    source.Close();
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
