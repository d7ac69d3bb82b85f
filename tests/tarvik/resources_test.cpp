// The resources of Tarvik.dll: its manifest for the version 6 common controls, the Japanese
// string table and dialog, and the version resource.
#include <gtest/gtest.h>

#include <string>

#include "common/handles.h"
#include "tests/tarvik/test_support.h"

using namespace tarvik_test;

namespace {

constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);

class TarvikResources : public ::testing::Test {
protected:
    void SetUp() override {
        module.Reset(LoadLibraryExW(LibraryPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(module.Valid());
    }
    common::UniqueModule module;
};

std::string ResourceText(HMODULE module, HRSRC resource) {
    HGLOBAL loaded = LoadResource(module, resource);
    const char* data = static_cast<const char*>(LockResource(loaded));
    return data == nullptr ? std::string() : std::string(data, SizeofResource(module, resource));
}

TEST_F(TarvikResources, ManifestTwoSelectsCommonControlsSix) {
    HRSRC manifest = FindResourceW(module.Get(), MAKEINTRESOURCEW(2), MAKEINTRESOURCEW(24));
    ASSERT_NE(manifest, nullptr);
    const std::string text = ResourceText(module.Get(), manifest);
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST_F(TarvikResources, JapaneseStringTableAndDialog) {
    // Strings 96..111 and 112..127 live in string blocks 7 and 8.
    EXPECT_NE(FindResourceExW(module.Get(), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(7), kJapanese), nullptr);
    EXPECT_NE(FindResourceExW(module.Get(), MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(8), kJapanese), nullptr);
    EXPECT_NE(FindResourceExW(module.Get(), MAKEINTRESOURCEW(5), MAKEINTRESOURCEW(101), kJapanese), nullptr);
    wchar_t text[256] = {};
    ASSERT_GT(LoadStringW(module.Get(), 113, text, 256), 0);
    EXPECT_STREQ(text, L"沖縄電力");
    ASSERT_GT(LoadStringW(module.Get(), 104, text, 256), 0);
    EXPECT_STREQ(text, L"北海道電力");
}

TEST(TarvikVersion, JapaneseUnicodeTranslation) {
    const std::wstring path = LibraryPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, data.data()));
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length));
    ASSERT_GE(length, sizeof(Translation));
    EXPECT_EQ(translation->language, 0x0411);
    EXPECT_EQ(translation->codePage, 1200);
    wchar_t* name = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\041104b0\\OriginalFilename",
                               reinterpret_cast<void**>(&name), &length));
    EXPECT_STREQ(name, L"Tarvik.dll");
}

}  // namespace
