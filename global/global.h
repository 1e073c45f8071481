// What the handlers of the main window share between one event and the next.
#pragma once
#include <string>

#include "global/HostObject.h"

extern HostObject AppObj;
extern HostObject LevelObj;
extern HostObject SectorObj;
extern HostObject SurfaceObj;
extern bool Exportable;
extern std::string PrjFileName;
extern std::string PrjDir;
extern std::string ConverterDir;

// Puts a text into the only panel of the status bar of Me.
void ShowStatus(const std::string& Text);

// Copies one whole file into a new file (or over an existing one). The copy is written beside
// Destination and put in its place only when complete, so a failed copy leaves an earlier
// Destination as it was.
void CopyFileData(const std::string& Source, const std::string& Destination);

// Closing code of the module, run at exit before the component-object system stops: clears the
// strings, then releases SurfaceObj, SectorObj, LevelObj and AppObj, in that order.
void global_Finalize();
