#pragma once
#define IDI_VEXMOLD 1
#define IDB_CHECK 101
#define IDB_DELFACE 102
#define IDB_DELVX 103
#define IDB_EXPORT 104
