// The converter settings: reading and writing "APath" through TOReg, and the
// registry rules beneath it. The shared cases run against the in-memory store
// natively and against the real registry of the Wine prefix in the Windows build.
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "global/errors.h"
#include "global/global.h"
#include "settings/M_Registery.h"

#ifdef _WIN32
#include "global/windows_support.h"
#else
#include "settings/registry_memory.h"
#endif

namespace {

using namespace std::string_literals;

const char SettingsKey[] = "Software\\Tessaline\\Zym_Dxf\\";

struct Stored {
    std::uint32_t type;
    std::string data;
};

#ifndef _WIN32

// The settings key in the in-memory store.
class SettingsStore {
public:
    SettingsStore() { MemoryRegistry::Instance().Reset(); }
    ~SettingsStore() { MemoryRegistry::Instance().Reset(); }

    bool Usable() const { return true; }
    void MakeKey() { Mem().AddKey(RegRoot::CurrentUser, SettingsKey); }
    bool KeyExists() const { return Mem().KeyExists(RegRoot::CurrentUser, SettingsKey); }
    void Put(const std::string& name, std::uint32_t type, const std::string& data)
    {
        Mem().Put(RegRoot::CurrentUser, SettingsKey, name, type, data);
    }
    std::optional<Stored> Get(const std::string& name) const
    {
        const MemoryValue* v = Mem().Find(RegRoot::CurrentUser, SettingsKey, name);
        if (!v)
            return std::nullopt;
        return Stored{v->type, v->data};
    }

private:
    static MemoryRegistry& Mem() { return MemoryRegistry::Instance(); }
};

#else

// The settings key in the real per-user registry. The tests own
// HKCU\Software\Tessaline only when it is absent at the start (as in a fresh
// prefix) and remove it afterwards; otherwise they skip, so that real settings
// are never touched.
class SettingsStore {
public:
    SettingsStore()
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tessaline", 0, KEY_READ, &key) == ERROR_SUCCESS) {
            RegCloseKey(key);
            return;
        }
        owned_ = true;
    }
    ~SettingsStore()
    {
        if (owned_)
            RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Tessaline");
    }

    bool Usable() const { return owned_; }
    void MakeKey()
    {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    bool KeyExists() const
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    void Put(const std::string& name, std::uint32_t type, const std::string& data)
    {
        MakeKey();
        ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, SettingsKey, name.c_str(), type, data.data(),
                                  static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    std::optional<Stored> Get(const std::string& name) const
    {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return std::nullopt;
        DWORD type = 0, size = 0;
        std::optional<Stored> result;
        if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            std::string data(size, '\0');
            if (RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size)
                == ERROR_SUCCESS)
                result = Stored{type, data.substr(0, size)};
        }
        RegCloseKey(key);
        return result;
    }

private:
    bool owned_ = false;
};

#endif

class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!store.Usable())
            GTEST_SKIP() << "HKCU\\Software\\Tessaline exists already; not touching it";
        ConverterDir = "(before)";
    }
    void TearDown() override { ConverterDir.clear(); }

    // ReadSettings on a fresh object, as the start of the run does it. Returns
    // the error message, or "" when none was raised.
    std::string Read()
    {
        TOReg* reg = new TOReg;
        std::string error;
        try {
            reg->ReadSettings();
        } catch (const Error& e) {
            error = e.what();
        }
        EXPECT_FALSE(reg->HasCurrentKey()) << "the key stays open after ReadSettings";
        reg->CloseSettings();
        return error;
    }

    SettingsStore store;
};

struct ReadCase {
    const char* what;
    std::uint32_t type;
    std::string data;
    std::string folder;  // ConverterDir afterwards
    std::string error;   // message raised, "" for none
};

TEST_F(Settings, ReadsAPathByItsTypeAndBytes)
{
    const std::string invalid = "Invalid data type for 'APath'";
    const ReadCase cases[] = {
        {"folder with its backslash", RegType::String, "D:\\Conv\\\0"s, "D:\\Conv\\", ""},
        {"no backslash is added", RegType::String, "D:\\Conv\0"s, "D:\\Conv", ""},
        {"stored without a zero byte", RegType::String, "D:\\Conv\\"s, "D:\\Conv\\", ""},
        {"expandable, not expanded", RegType::ExpandString, "%TOOLS%\\\0"s, "%TOOLS%\\", ""},
        {"zero byte in the middle", RegType::String, "D:\\Co\0nv\\\0"s, "D:\\Co", ""},
        {"no data", RegType::String, ""s, "", ""},
        {"data begin with a zero byte", RegType::String, "\0D:\\Conv\\\0"s, "", ""},
        {"number", RegType::Dword, "\x01\0\0\0"s, "(before)", invalid},
        {"raw bytes", RegType::Binary, "D:\\Conv\\\0"s, "(before)", invalid},
        {"list of strings", RegType::MultiString, "D:\\Conv\\\0E:\\\0\0"s, "(before)", invalid},
        {"raw bytes of size 0 count as empty", RegType::Binary, ""s, "", ""},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.what);
        store.Put("APath", c.type, c.data);
        ConverterDir = "(before)";
        EXPECT_EQ(Read(), c.error);
        EXPECT_EQ(ConverterDir, c.folder);
    }
}

TEST_F(Settings, MissingValueOrKeyGivesEmptyFolder)
{
    EXPECT_EQ(Read(), "");
    EXPECT_EQ(ConverterDir, "");
    EXPECT_FALSE(store.KeyExists()) << "reading created the key";

    store.Put("Other", RegType::String, "D:\\Other\\\0"s);
    ConverterDir = "(before)";
    EXPECT_EQ(Read(), "");
    EXPECT_EQ(ConverterDir, "");
}

TEST_F(Settings, WriteStoresStringWithZeroByteAndLeavesOtherValues)
{
    store.Put("APath", RegType::String, "E:\\Old\\\0"s);
    store.Put("Other", RegType::Dword, "\x07\0\0\0"s);
    TOReg* reg = new TOReg;
    ASSERT_TRUE(reg->OpenSettings());
    reg->WriteString("APath", "D:\\Conv\\");
    reg->CloseSettings();

    const auto path = store.Get("APath");
    ASSERT_TRUE(path);
    EXPECT_EQ(path->type, RegType::String);
    EXPECT_EQ(path->data, "D:\\Conv\\\0"s);  // 9 bytes
    const auto other = store.Get("Other");
    ASSERT_TRUE(other);
    EXPECT_EQ(other->data, "\x07\0\0\0"s);
}

TEST_F(Settings, WriteWithoutTheKeyFailsAndCreatesNothing)
{
    TOReg* reg = new TOReg;
    EXPECT_FALSE(reg->OpenSettings());
    EXPECT_FALSE(reg->HasCurrentKey());
    try {
        reg->WriteString("APath", "D:\\Conv\\");
        ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'APath'");
    }
    reg->CloseSettings();
    EXPECT_FALSE(store.KeyExists());
}

TEST_F(Settings, OpenSettingsSelectsThePerUserRoot)
{
    store.MakeKey();
    TOReg* reg = new TOReg;
    reg->SetRootKey(RegRoot::LocalMachine);
    EXPECT_TRUE(reg->OpenSettings());
    EXPECT_EQ(reg->RootKey(), RegRoot::CurrentUser);
    EXPECT_EQ(reg->CurrentPath(), SettingsKey);
    reg->CloseSettings();
}

// The run's sequence: the start-up object reads and is released, a new one
// writes and is released; OReg refers to no object after each CloseSettings.
TEST_F(Settings, ORegLivesFromStartUpToCloseSettings)
{
    store.MakeKey();
    M_Registery_Initialize();
    ASSERT_NE(OReg, nullptr);
    OReg->ReadSettings();
    OReg->CloseSettings();
    EXPECT_EQ(OReg, nullptr);
    EXPECT_EQ(ConverterDir, "");

    OReg = new TOReg;
    OReg->OpenSettings();
    OReg->WriteString("APath", "D:\\Conv\\");
    OReg->CloseSettings();
    EXPECT_EQ(OReg, nullptr);

    M_Registery_Initialize();
    OReg->ReadSettings();
    OReg->CloseSettings();
    EXPECT_EQ(ConverterDir, "D:\\Conv\\");
    M_Registery_Finalize();
}

#ifndef _WIN32

// Failures the real registry cannot be made to show on demand.
class SettingsFaults : public Settings {
protected:
    MemoryRegistry& mem = MemoryRegistry::Instance();
};

TEST_F(SettingsFaults, FailedDataReadRaisesAndClosesTheKey)
{
    store.Put("APath", RegType::String, "D:\\Conv\\\0"s);
    mem.faults.queryDataFails = true;
    EXPECT_EQ(Read(), "Failed to get data for 'APath'");
    EXPECT_EQ(ConverterDir, "(before)");
    EXPECT_EQ(mem.OpenKeys(), 0);
}

TEST_F(SettingsFaults, ErrorInStartUpReadLeavesORegButNoOpenKey)
{
    store.Put("APath", RegType::Dword, "\x01\0\0\0"s);
    M_Registery_Initialize();
    EXPECT_THROW(OReg->ReadSettings(), Error);
    ASSERT_NE(OReg, nullptr);
    EXPECT_EQ(mem.OpenKeys(), 0);
    OReg->CloseSettings();
}

TEST_F(SettingsFaults, UnqueryableValueCountsAsMissing)
{
    store.Put("APath", RegType::String, "D:\\Conv\\\0"s);
    mem.faults.queryInfoFails = true;
    EXPECT_EQ(Read(), "");
    EXPECT_EQ(ConverterDir, "");
}

TEST_F(SettingsFaults, KeyWithoutFullAccessIsNotOpenAndWriteFails)
{
    store.Put("APath", RegType::String, "D:\\Conv\\\0"s);
    mem.faults.openFails = true;
    EXPECT_EQ(Read(), "");
    EXPECT_EQ(ConverterDir, "");

    TOReg* reg = new TOReg;
    EXPECT_FALSE(reg->OpenSettings());
    EXPECT_THROW(reg->WriteString("APath", "E:\\"), Error);
    reg->CloseSettings();
    EXPECT_EQ(store.Get("APath")->data, "D:\\Conv\\\0"s);
}

TEST_F(SettingsFaults, FailedStoreWriteRaises)
{
    store.MakeKey();
    mem.faults.setValueFails = true;
    TOReg* reg = new TOReg;
    ASSERT_TRUE(reg->OpenSettings());
    try {
        reg->WriteString("APath", "D:\\Conv\\");
        ADD_FAILURE() << "no error raised";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'APath'");
    }
    reg->CloseSettings();
    EXPECT_FALSE(store.Get("APath"));
}

// Selecting another root closes the open key; selecting the same root keeps it.
TEST(Registry, SelectingAnotherRootClosesTheKey)
{
    MemoryRegistry& mem = MemoryRegistry::Instance();
    mem.Reset();
    mem.AddKey(RegRoot::CurrentUser, "Software\\A");
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKey("Software\\A"));
        reg.SetRootKey(RegRoot::CurrentUser);
        EXPECT_TRUE(reg.HasCurrentKey());
        reg.SetRootKey(RegRoot::LocalMachine);
        EXPECT_FALSE(reg.HasCurrentKey());
        EXPECT_EQ(reg.CurrentPath(), "");
        EXPECT_EQ(mem.OpenKeys(), 0);

        // With no key open nothing exists and nothing is read.
        EXPECT_FALSE(reg.ValueExists("APath"));
        EXPECT_EQ(reg.ReadString("APath"), "");
        // A failed open leaves no key open, also when one was open before.
        reg.SetRootKey(RegRoot::CurrentUser);
        ASSERT_TRUE(reg.OpenKey("Software\\A"));
        EXPECT_FALSE(reg.OpenKey("Software\\B"));
        EXPECT_FALSE(reg.HasCurrentKey());
        EXPECT_EQ(mem.OpenKeys(), 0);
    }
    mem.Reset();
}

#endif

}  // namespace
