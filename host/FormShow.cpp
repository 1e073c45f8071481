// The show handler: locate the converter, then connect to the running editor and fetch its level.
#include "app/Main.h"
#include "global/global.h"
#include "host/connect.h"

void TMe::FormShow(void*)
{
    GetZym();
    Exportable = false;
    // Only the connection is guarded: when the editor is not running, the caption says so and
    // the next step fails on the empty reference, which the error report shows.
    try {
        AppObj.Set(ConnectByProgId("JED.App"));
    } catch (const std::exception&) {
        SetCaption("This is a Jed plugin. Jed needs to be running.");
    }
    AppObj.CallInto(LevelObj, "Level");
}
