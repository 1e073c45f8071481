// The converter settings: the folder of the converter, kept in the value "APath"
// of the per-user key "Software\Tessaline\Zym_Dxf\".
#pragma once
#include "settings/registry.h"

class TOReg : public TRegistry {
public:
    TOReg() = default;

    // Selects the per-user root and opens the settings key with full access,
    // without creating it. True when the key is open.
    bool OpenSettings();

    // Reads "APath" into ConverterDir, or makes ConverterDir empty when the value
    // is missing, then closes the key. A read error leaves ConverterDir as it was
    // and passes out; the key is closed on the way out too.
    void ReadSettings();

    // Closes the key and releases this object. When the object is the one in
    // OReg, OReg refers to no object afterwards. Do not touch the object again.
    void CloseSettings();

private:
    // The object releases itself in CloseSettings, so it lives only on the heap
    // (new TOReg) and nothing else deletes it.
    ~TOReg() override = default;
};

// The current settings object: made at start-up by M_Registery_Initialize,
// released by CloseSettings, made again with "OReg = new TOReg" where the
// settings are to be written.
extern TOReg* OReg;

// Start-up code of the module, called from the program entry before the main
// window exists: creates the one TOReg into OReg.
void M_Registery_Initialize();

// Closing code of the module. It does nothing: OReg is not released at exit.
// In a normal run CloseSettings has released it already; otherwise (a failed
// read or write leaves its object in OReg) the one small object stays reachable
// from OReg, which the process exit reclaims and the leak checker does not count.
void M_Registery_Finalize();
