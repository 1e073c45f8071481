// The export: the project folder below the converter's folder, the default texture, the PRJ file.
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "app/Main.h"
#include "export/prjformat.h"
#include "global/errors.h"
#include "global/files.h"
#include "global/global.h"
#include "host/dispatch.h"

namespace {

// The name part of a path: the text after its last backslash or colon.
std::string NamePart(const std::string& path)
{
    const auto at = path.find_last_of("\\:");
    return at == std::string::npos ? path : path.substr(at + 1);
}

// The project folder is named after the file less its last four characters (its extension, as
// a rule); a name of four characters or fewer gives its first character alone.
std::string FolderNameFor(const std::string& name)
{
    if (name.size() >= 5)
        return name.substr(0, name.size() - 4);
    return name.substr(0, 1);
}

// The project file, written through a buffer: not one system call per field. It is put in
// place only when complete (see ReplacingFile).
class ProjectFileWriter {
public:
    explicit ProjectFileWriter(const std::string& target) : out_(target) {}

    void Append(const void* bytes, std::size_t count)
    {
        if (used_ + count > buffer_.size())
            Flush();
        std::memcpy(buffer_.data() + used_, bytes, count);
        used_ += count;
    }

    void AppendInt32(std::int32_t value)
    {
        unsigned char bytes[4];
        PutInt32LE(bytes, value);
        Append(bytes, sizeof bytes);
    }

    // Writes the count over the placeholder at the start; the length does not change.
    void OverwriteStart(std::int32_t value)
    {
        Flush();
        out_.SeekToStart();
        AppendInt32(value);
        Flush();
    }

    void Commit()
    {
        Flush();
        out_.Commit();
    }

private:
    void Flush()
    {
        out_.Write(buffer_.data(), used_);
        used_ = 0;
    }

    ReplacingFile out_;
    std::array<unsigned char, 64 * 1024> buffer_{};
    std::size_t used_ = 0;
};

} // namespace

void TMe::SBExportClick(void*)
{
    if (!GetSaveTo())
        return;
    CopyDefault();
    WritePrj();
    SBExport.SetVisible(false); // a further export needs a new passing check
}

bool TMe::GetSaveTo()
{
    Sd1.FileName = "SomeName.PRJ";
    Sd1.Filter = "Project File |*.PRJ";
    Sd1.Title = "Specify project name ,Dir will be created";
    Sd1.InitialDir = ConverterDir;
    if (!Sd1.Execute())
        return false;
    // The project always goes below the converter's folder, wherever the user browsed to.
    const std::string name = NamePart(Sd1.FileName);
    PrjDir = ConverterDir + FolderNameFor(name) + "\\";
    if (!DirectoryExists(PrjDir))
        CreateDirectoryOneLevel(PrjDir); // a failure shows in the copy that follows
    PrjFileName = name;
    return true;
}

void TMe::CopyDefault()
{
    const std::string destination = PrjDir + "default.bmp";
    const std::string source = ConverterDir + "Data\\default.bmp";
    CopyFileData(source, destination);
}

void TMe::WritePrj()
{
    const std::string path = PrjDir + PrjFileName;
    ProjectFileWriter out(path);
    std::int32_t faces = 0;
    out.AppendInt32(0); // placeholder for the count, known only at the end

    // One 12-byte vertex record of the current sector's vertex v, converted whole before it is written.
    auto WriteVertex = [&](std::int32_t v) {
        double x = 0, y = 0, z = 0;
        SectorObj.Call("GetVertex", {ByRef(v), ByRef(x), ByRef(y), ByRef(z)});
        const PrjVertexRecord record = PrjVertexBytes(x, y, z);
        out.Append(record.data(), record.size());
    };

    std::int32_t adjoin1 = 0, adjoin2 = 0;
    const std::int32_t sectors = LevelObj.CallInt("NSectors");
    for (std::int32_t sc = 0; sc < sectors; ++sc) {
        LevelObj.CallInto(SectorObj, "GetSector", {ByVal(sc)});
        const std::int32_t surfaces = SectorObj.CallInt("NSurfaces");
        for (std::int32_t sf = 0; sf < surfaces; ++sf) {
            SectorObj.CallInto(SurfaceObj, "GetSurface", {ByVal(sf)});
            const std::int32_t n = SurfaceObj.CallInt("NVertices");
            SurfaceObj.Call("GetAdjoin", {ByRef(adjoin1), ByRef(adjoin2)});
            if (adjoin1 != -1 && adjoin2 != -1)
                continue; // adjoined: no trace in the file
            // The file stores no vertex count: the converter reads 3 or 4 vertices a face only.
            // The level changed since the check; nothing is written or replaced.
            if (n != 3 && n != 4)
                throw Error("Sc " + std::to_string(sc) + " Sf " + std::to_string(sf) + " has " + std::to_string(n) +
                            " Vx: the level changed since the check. Check it again before you export");
            out.AppendInt32(sc);
            ++faces;
            for (std::int32_t k = 0; k < n; ++k) {
                WriteVertex(SurfaceObj.CallInt("GetVertex", {ByVal(k)}));
                if (k == 2 && n == 3) // a triangle repeats its second vertex
                    WriteVertex(SurfaceObj.CallInt("GetVertex", {ByVal(1)}));
            }
        }
    }
    out.OverwriteStart(faces);
    out.Commit();
    ShowStatus("Project Directory and File created");
}
