// The settings kept between runs on Windows: string values under a key of HKEY_CURRENT_USER
// (Software\Ferrox for the user; a key of the test's own here), written whole and read back, a
// value that is not text named instead of read, and the key removed on request.

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/settings_store.h"
#include "platform/win32/text.h"

namespace {

// A key of this test alone, removed with the object.
struct TestKey {
    std::string path = "Software\\Ferrox tests\\settings-" + std::to_string(std::random_device{}());
    ~TestKey() {
        RegDeleteTreeW(HKEY_CURRENT_USER, Utf16(path).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, Utf16(path).c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Ferrox tests");
    }
};

bool KeyExists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Utf16(path).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST(Win32SettingsStore, TheUsersSettingsAreUnderHkcuSoftwareFerrox) { EXPECT_EQ(UserSettingsLocation(), "Software\\Ferrox"); }

TEST(Win32SettingsStore, WrittenValuesReadBackAndAreReplacedWhole) {
    TestKey key;
    SettingsValues values;
    std::string problem;
    ASSERT_TRUE(ReadSettings(key.path, &values, &problem)) << "nothing kept yet is no problem: " << problem;
    EXPECT_TRUE(values.empty());

    const SettingsValues some = {{"threads", "1"}, {"priority", "high"}, {"load", "avx512"}, {"label", "caf\xC3\xA9"}};
    ASSERT_TRUE(WriteSettings(key.path, some, &problem)) << problem;
    ASSERT_TRUE(ReadSettings(key.path, &values, &problem)) << problem;
    EXPECT_EQ(values, some) << "UTF-8 in, UTF-8 out";

    const SettingsValues fewer = {{"threads", "auto"}};
    ASSERT_TRUE(WriteSettings(key.path, fewer, &problem)) << problem;
    ASSERT_TRUE(ReadSettings(key.path, &values, &problem)) << problem;
    EXPECT_EQ(values, fewer) << "values left out are gone";

    ASSERT_TRUE(ForgetSettings(key.path, &problem)) << problem;
    EXPECT_FALSE(KeyExists(key.path));
    EXPECT_TRUE(ForgetSettings(key.path, &problem)) << "nothing to forget is no problem: " << problem;
}

// Someone (or an older tool) left a number where text belongs: it is named, the rest is read.
TEST(Win32SettingsStore, AValueThatIsNotTextIsNamedAndTheOthersRead) {
    TestKey key;
    std::string problem;
    ASSERT_TRUE(WriteSettings(key.path, {{"priority", "low"}}, &problem)) << problem;
    HKEY handle = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Utf16(key.path).c_str(), 0, KEY_WRITE, &handle), ERROR_SUCCESS);
    const Win32DWORD number = 4;
    ASSERT_EQ(RegSetValueExW(handle, L"threads", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number), ERROR_SUCCESS);
    RegCloseKey(handle);
    SettingsValues values;
    EXPECT_FALSE(ReadSettings(key.path, &values, &problem));
    EXPECT_NE(problem.find("threads"), std::string::npos) << problem;
    EXPECT_EQ(values, (SettingsValues{{"priority", "low"}}));
    // Keeping the settings again puts text there.
    ASSERT_TRUE(WriteSettings(key.path, {{"threads", "4"}}, &problem)) << problem;
    ASSERT_TRUE(ReadSettings(key.path, &values, &problem)) << problem;
    EXPECT_EQ(values, (SettingsValues{{"threads", "4"}}));
}
