// The export check, and the deletion of the face or vertex selected in the editor.
#include <cstdint>
#include <string>

#include "app/Main.h"
#include "global/global.h"
#include "host/dispatch.h"

void TMe::SBCheckClick(void*)
{
    Memo1.Clear();
    Exportable = true;
    // The editor writes both outputs on every call; they are not reset between surfaces.
    std::int32_t adjoin1 = 0, adjoin2 = 0;
    const std::int32_t sectors = LevelObj.CallInt("NSectors");
    for (std::int32_t sc = 0; sc < sectors; ++sc) {
        LevelObj.CallInto(SectorObj, "GetSector", {ByVal(sc)});
        const std::int32_t surfaces = SectorObj.CallInt("NSurfaces");
        for (std::int32_t sf = 0; sf < surfaces; ++sf) {
            SectorObj.CallInto(SurfaceObj, "GetSurface", {ByVal(sf)});
            const std::int32_t vertices = SurfaceObj.CallInt("NVertices");
            SurfaceObj.Call("GetAdjoin", {ByRef(adjoin1), ByRef(adjoin2)});
            if (adjoin1 != -1 && adjoin2 != -1) {
                // The export leaves adjoined faces out, whatever their vertex count.
                Memo1.Add("Adjoned face in Sc " + std::to_string(sc) + " Sf " + std::to_string(sf) +
                          " won`t be exported");
            } else if (vertices < 3 || vertices > 4) {
                Exportable = false;
                Memo1.Add("Sc " + std::to_string(sc) + " Sf " + std::to_string(sf) + " has " +
                          std::to_string(vertices) + " Vx");
            }
        }
    }
    if (Exportable) {
        ShowStatus("Ready to Export");
        SBExport.SetVisible(true);
    } else {
        ShowStatus("Not ready To Export");
        SBExport.SetVisible(false);
    }
}

void TMe::SBDelFaceClick(void*)
{
    // The editor gets these variables by reference; what it may write back is not read.
    std::int32_t sector = AppObj.CallInt("CurSC");
    std::int32_t surface = AppObj.CallInt("CurSF");
    LevelObj.CallInto(SectorObj, "GetSector", {ByRef(sector)});
    SectorObj.Call("DeleteSurface", {ByRef(surface)});
    SectorObj.Call("Update");
    ShowStatus("Face deleted");
}

void TMe::SBDelVXClick(void*)
{
    std::int32_t sector = AppObj.CallInt("CurSC");
    std::int32_t surface = AppObj.CallInt("CurSF");
    const std::int32_t vertex = AppObj.CallInt("CurVX");
    LevelObj.CallInto(SectorObj, "GetSector", {ByRef(sector)});
    SectorObj.CallInto(SurfaceObj, "GetSurface", {ByRef(surface)});
    const std::int32_t count = SurfaceObj.CallInt("NVertices");
    // The selected vertex is a sector vertex; the face names it by its position in the face.
    for (std::int32_t position = 0; position < count; ++position) {
        const HostVariant answer = SurfaceObj.CallValue("GetVertex", {ByVal(position)});
        if (VariantEqualsInt(answer, vertex)) {
            SurfaceObj.Call("DeleteVertex", {ByVal(position)});
            SurfaceObj.Call("Update");
            break;
        }
    }
    ShowStatus("Vertex deleted");
}
