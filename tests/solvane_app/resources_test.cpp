// The resources linked into Solvane.exe: string table, version, manifest and icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/window_classes.h"
#include "common/handles.h"
#include "test_support.h"

namespace {

class SolvaneResources : public testing::Test {
protected:
    void SetUp() override {
        m_module.Reset(LoadLibraryExW(testsupport::SolvanePath().c_str(), nullptr,
                                      LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(m_module.Valid()) << "Solvane.exe must sit beside the test: " << GetLastError();
    }

    std::wstring String(UINT id) const {
        wchar_t buffer[1024] = {};
        int length = LoadStringW(m_module.Get(), id, buffer, 1024);
        return std::wstring(buffer, length > 0 ? length : 0);
    }

    std::string Manifest() const {
        HRSRC info = FindResourceW(m_module.Get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        if (info == nullptr) {
            return {};
        }
        HGLOBAL data = LoadResource(m_module.Get(), info);
        return std::string(static_cast<const char*>(LockResource(data)), SizeofResource(m_module.Get(), info));
    }

    common::UniqueModule m_module;
};

TEST_F(SolvaneResources, StartUpAndErrorLogStringsAreExact) {
    struct Entry {
        UINT id;
        const wchar_t* text;
    };
    for (const Entry& e : {
             Entry{1, L"プログラムの初期化に失敗しました。\rプログラムを終了します。\rパソコンを再起動してください。"},
             Entry{4, L"Mutexの作成に失敗。または既に実行されています"},
             Entry{7, L"fail : CreateThread/ppi bsc"},
             Entry{8, L"fail : CreateThread/cpp auc"},
             Entry{9, L"fail : RegisterClass"},
             Entry{10, L"fail : CreateWindowEx"},
             Entry{17, L"fail : RegQueryValueEx/HKCU...Settings"},
             Entry{20, L"fail : CreateEvent"},
             Entry{41, L"fail : GetModuleFileName"},
             Entry{48, L"fail : WaitForSingleObject/InitScheme"},
             Entry{74, L"fail : RegQueryValueEx/ChargingChangePoint "},
             Entry{141, L"Tamsel"},
             Entry{143, L"最小化ボタン"},
             Entry{161, L"本プログラムの実行には、Windows Vista以上が必要です"},
             Entry{200, L"fail : CreateThread/vexb"},
             Entry{219, L"Kaviro"},
             Entry{308, L"「Kaviro」"},
             Entry{163, L"指定されたGUIDへ書き込みに失敗しました"},
             Entry{539, L"サポートしている省電力機能の取得に失敗しました。"},
             Entry{541, L"CPU省電力状態の設定に失敗しました。"},
             Entry{3006, L"ファイルを作成できませんでした。"},
             Entry{3007, L"「Kaviro」が動作しているためインポートできませんでした。\nいったん終了させてから、再度実行してください。"},
         }) {
        EXPECT_EQ(String(e.id), std::wstring(e.text)) << "string " << e.id;
    }
}

TEST_F(SolvaneResources, VersionResourceIsJapaneseUnicode) {
    std::wstring path = testsupport::SolvanePath();
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block.data()));
    void* value = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length));
    ASSERT_GE(length, 4u);
    EXPECT_EQ(static_cast<const WORD*>(value)[0], 0x0411);
    EXPECT_EQ(static_cast<const WORD*>(value)[1], 1200);
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041104b0\\OriginalFilename", &value, &length));
    EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(value)), L"Solvane.exe");
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\041104b0\\FileDescription", &value, &length));
    EXPECT_NE(std::wstring(static_cast<const wchar_t*>(value)).find(L"省電力"), std::wstring::npos)
        << "the description must survive as UTF-16";
}

TEST_F(SolvaneResources, ManifestAsksForCommonControlsSixDpiAwarenessAndTheInvokersRights) {
    std::string manifest = Manifest();
    ASSERT_FALSE(manifest.empty()) << "RT_MANIFEST 1 is missing";
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(manifest.find("<dpiAware"), std::string::npos);
    EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
}

TEST_F(SolvaneResources, IconHasSixteenAndThirtyTwoPixelImages) {
    for (int size : {16, 32}) {
        common::UniqueIcon icon(static_cast<HICON>(
            LoadImageW(m_module.Get(), MAKEINTRESOURCEW(IDI_SOLVANE), IMAGE_ICON, size, size, 0)));
        ASSERT_TRUE(icon.Valid()) << size;
        ICONINFO info = {};
        ASSERT_TRUE(GetIconInfo(icon.Get(), &info));
        common::UniqueGdiObject color(info.hbmColor);
        common::UniqueGdiObject mask(info.hbmMask);
        BITMAP bitmap = {};
        ASSERT_TRUE(GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap));
        EXPECT_EQ(bitmap.bmWidth, size);
        EXPECT_EQ(bitmap.bmHeight, size);
    }
    // Both sizes are drawn, not scaled from one image: the group names two entries.
    HRSRC group = FindResourceW(m_module.Get(), MAKEINTRESOURCEW(IDI_SOLVANE), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const BYTE* dir = static_cast<const BYTE*>(LockResource(LoadResource(m_module.Get(), group)));
    ASSERT_NE(dir, nullptr);
    WORD count = *reinterpret_cast<const WORD*>(dir + 4);
    ASSERT_EQ(count, 2);
    constexpr size_t kHeader = 6;
    constexpr size_t kEntry = 14;
    EXPECT_EQ(dir[kHeader], 16);
    EXPECT_EQ(dir[kHeader + kEntry], 32);
}

}  // namespace
