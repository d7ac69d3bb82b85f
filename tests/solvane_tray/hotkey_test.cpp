#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/app_globals.h"
#include "app/hotkey.h"
#include "app/hotkey_dialog.h"
#include "plans/settings.h"
#include "test_registry.h"
#include "tray_test_support.h"

using namespace hotkey;

namespace {

const std::wstring kKey = L"Software\\Orvel\\Solvane";

class HotkeyTest : public testing::Test {
protected:
    void SetUp() override {
        traytest::InitProgramGlobals();
        testreg::ClearSolvaneKeys();
        traytest::SetFlags(0);
        g_answers.clear();
        g_asked.clear();
        g_askedCount = 0;
        SetHotkeyMessageBox(RecordingBox);
    }
    void TearDown() override {
        SetHotkeyMessageBox(nullptr);
        testreg::ClearSolvaneKeys();
    }
    static void StorePair(HKEY root, DWORD modifiers, DWORD key) {
        testreg::SetDword(root, kKey, L"HotKeyOption", modifiers);
        testreg::SetDword(root, kKey, L"HotKey", key);
    }
    static int RecordingBox(HWND, UINT id, UINT type) {
        g_asked.push_back({id, type});
        ++g_askedCount;
        if (g_answers.empty()) {
            return IDCANCEL;
        }
        int answer = g_answers.front();
        g_answers.erase(g_answers.begin());
        return answer;
    }
    static std::vector<int> g_answers;
    static std::vector<std::pair<UINT, UINT>> g_asked;
    static std::atomic<int> g_askedCount;
};
std::atomic<int> HotkeyTest::g_askedCount{0};
std::vector<int> HotkeyTest::g_answers;
std::vector<std::pair<UINT, UINT>> HotkeyTest::g_asked;

// True when the combination is free (another window of this thread can take it).
bool Free(UINT modifiers, UINT key) {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    BOOL ok = RegisterHotKey(probe, 77, modifiers, key);
    if (ok) {
        UnregisterHotKey(probe, 77);
    }
    DestroyWindow(probe);
    return ok != FALSE;
}

// Drives the modal dialog from another thread: waits for it, runs the steps, returns its handle.
class DialogDriver {
public:
    template <typename Steps>
    explicit DialogDriver(Steps steps) {
        m_thread = std::thread([this, steps] {
            HWND dialog = nullptr;
            for (int i = 0; i < 500 && dialog == nullptr; ++i) {
                dialog = FindWindowW(L"#32770", L"ホットキーの設定");
                if (dialog != nullptr && !IsWindowVisible(dialog)) {
                    dialog = nullptr;  // still initialising
                }
                Sleep(10);
            }
            m_found = dialog != nullptr;
            if (dialog != nullptr) {
                steps(dialog);
            }
        });
    }
    ~DialogDriver() { m_thread.join(); }
    bool Found() const { return m_found; }

private:
    std::thread m_thread;
    std::atomic<bool> m_found{false};
};

int Selection(HWND dialog) {
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_HOTKEY_COMBO, CB_GETCURSEL, 0, 0));
}

}  // namespace

static_assert(kHotkeyEntryCount == 24);  // "no hotkey" and twenty-three combinations

TEST_F(HotkeyTest, TableOffersTwentyThreeCombinationsWithoutAltF4) {
    EXPECT_EQ(kHotkeyTable[0].uModifiers, 0u);
    EXPECT_EQ(kHotkeyTable[0].uKey, 0u);
    EXPECT_EQ(traytest::Str(kHotkeyTable[0].uStringId), L"ホットキーなし");
    for (size_t i = 1; i < kHotkeyEntryCount; ++i) {
        EXPECT_FALSE(kHotkeyTable[i].uModifiers == MOD_ALT && kHotkeyTable[i].uKey == VK_F4);
        EXPECT_EQ(kHotkeyTable[i].uStringId, 220 + i);
        for (size_t j = 1; j < i; ++j) {
            EXPECT_FALSE(kHotkeyTable[i].uModifiers == kHotkeyTable[j].uModifiers &&
                         kHotkeyTable[i].uKey == kHotkeyTable[j].uKey);
        }
    }
    EXPECT_EQ(traytest::Str(kHotkeyTable[3].uStringId), L"Alt+F3");
    EXPECT_EQ(traytest::Str(kHotkeyTable[4].uStringId), L"Alt+F5");
    EXPECT_EQ(kHotkeyTable[4].uKey, static_cast<UINT>(VK_F5));
    EXPECT_EQ(kHotkeyTable[11].uKey, static_cast<UINT>(VK_F12));
    EXPECT_EQ(kHotkeyTable[12].uModifiers, static_cast<UINT>(MOD_CONTROL));
    EXPECT_EQ(kHotkeyTable[12].uKey, static_cast<UINT>(VK_F1));
    EXPECT_EQ(kHotkeyTable[15].uKey, static_cast<UINT>(VK_F4));  // Ctrl+F4 is offered
    EXPECT_EQ(traytest::Str(kHotkeyTable[23].uStringId), L"Ctrl+F12");
    EXPECT_EQ(FindHotkeyEntry({MOD_ALT, VK_F5}), 4u);
    EXPECT_EQ(FindHotkeyEntry({MOD_ALT, VK_F4}), 0u);
    EXPECT_EQ(FindHotkeyEntry({MOD_SHIFT, VK_F1}), 0u);
}

TEST_F(HotkeyTest, StoredPairComesFromTheUserElseTheMachineAndNeedsBothValues) {
    EXPECT_EQ(ReadStoredHotkey().uKey, 0u);
    StorePair(HKEY_LOCAL_MACHINE, MOD_CONTROL, VK_F9);
    HotkeyPair pair = ReadStoredHotkey();
    EXPECT_EQ(pair.uModifiers, static_cast<UINT>(MOD_CONTROL));
    EXPECT_EQ(pair.uKey, static_cast<UINT>(VK_F9));
    StorePair(HKEY_CURRENT_USER, MOD_ALT, VK_F2);
    pair = ReadStoredHotkey();
    EXPECT_EQ(pair.uModifiers, static_cast<UINT>(MOD_ALT));
    EXPECT_EQ(pair.uKey, static_cast<UINT>(VK_F2));
    // Half a pair under HKCU does not count: the machine default is used.
    testreg::ClearSolvaneKeys();
    StorePair(HKEY_LOCAL_MACHINE, MOD_CONTROL, VK_F9);
    testreg::SetDword(HKEY_CURRENT_USER, kKey, L"HotKey", VK_F3);
    pair = ReadStoredHotkey();
    EXPECT_EQ(pair.uKey, static_cast<UINT>(VK_F9));
    ASSERT_EQ(WriteUserHotkey({MOD_ALT, VK_F7}), ERROR_SUCCESS);
    DWORD value = 0;
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"HotKeyOption", &value));
    EXPECT_EQ(value, static_cast<DWORD>(MOD_ALT));
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"HotKey", &value));
    EXPECT_EQ(value, static_cast<DWORD>(VK_F7));
}

TEST_F(HotkeyTest, UnofferedStoredPairIsRegisteredAtStartAndShowsEntryZero) {
    StorePair(HKEY_CURRENT_USER, MOD_SHIFT, VK_F1);
    traytest::TestOwner owner;  // the main window's creation registers the stored pair
    EXPECT_FALSE(Free(MOD_SHIFT, VK_F1));
    int shown = -1;
    {
        DialogDriver driver([&](HWND dialog) {
            shown = Selection(dialog);
            // Unchanged selection: cancel closes without a question.
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(ShowHotkeyDialog(owner.Get()), IDCANCEL);
    }
    EXPECT_EQ(shown, 0);
    EXPECT_TRUE(g_asked.empty());
    UnregisterMainHotkey(owner.Get());
    EXPECT_TRUE(Free(MOD_SHIFT, VK_F1));
    // Nothing stored, or a zero half: no hotkey.
    testreg::ClearSolvaneKeys();
    EXPECT_FALSE(RegisterStoredHotkey(owner.Get()));
    StorePair(HKEY_CURRENT_USER, 0, VK_F6);
    EXPECT_FALSE(RegisterStoredHotkey(owner.Get()));
}

TEST_F(HotkeyTest, DialogStoresANewChoiceAndRegistersIt) {
    StorePair(HKEY_CURRENT_USER, MOD_ALT, VK_F2);
    traytest::TestOwner owner;
    ASSERT_FALSE(Free(MOD_ALT, VK_F2));
    std::vector<std::wstring> names;
    int initial = -1;
    {
        DialogDriver driver([&](HWND dialog) {
            initial = Selection(dialog);
            int count = static_cast<int>(SendDlgItemMessageW(dialog, IDC_HOTKEY_COMBO, CB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                wchar_t text[64] = L"";
                SendDlgItemMessageW(dialog, IDC_HOTKEY_COMBO, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
                names.push_back(text);
            }
            SendDlgItemMessageW(dialog, IDC_HOTKEY_COMBO, CB_SETCURSEL, 16, 0);  // Ctrl+F5
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        EXPECT_EQ(ShowHotkeyDialog(owner.Get()), IDOK);
    }
    EXPECT_EQ(initial, 2);
    ASSERT_EQ(names.size(), 24u);
    EXPECT_EQ(names[0], L"ホットキーなし");
    EXPECT_EQ(names[3], L"Alt+F3");
    EXPECT_EQ(names[4], L"Alt+F5");
    EXPECT_FALSE(Free(MOD_CONTROL, VK_F5));
    EXPECT_TRUE(Free(MOD_ALT, VK_F2));
    DWORD value = 0;
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"HotKey", &value));
    EXPECT_EQ(value, static_cast<DWORD>(VK_F5));
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"HotKeyOption", &value));
    EXPECT_EQ(value, static_cast<DWORD>(MOD_CONTROL));
    UnregisterMainHotkey(owner.Get());
}

TEST_F(HotkeyTest, CombinationHeldElsewhereShowsTheWarningAndKeepsTheOldHotkey) {
    StorePair(HKEY_CURRENT_USER, MOD_ALT, VK_F2);
    traytest::TestOwner owner;
    ASSERT_FALSE(Free(MOD_ALT, VK_F2));
    // Another program holds Ctrl+F8.
    HWND other = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(RegisterHotKey(other, 5, MOD_CONTROL, VK_F8));
    traytest::MarkErrors();
    g_answers = {IDOK, IDOK};  // the warning, then "discard the change"
    bool stillOpen = false;
    {
        DialogDriver driver([&](HWND dialog) {
            SendDlgItemMessageW(dialog, IDC_HOTKEY_COMBO, CB_SETCURSEL, 19, 0);  // Ctrl+F8
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            stillOpen = IsWindow(dialog) && IsWindowVisible(dialog);
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(ShowHotkeyDialog(owner.Get()), IDCANCEL);
    }
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(g_asked.size(), 2u);
    EXPECT_EQ(g_asked[0].first, IDS_HOTKEY_FAILED);
    EXPECT_EQ(g_asked[0].second, static_cast<UINT>(MB_ICONWARNING));
    EXPECT_EQ(g_asked[1].first, IDS_DISCARD_CHANGES);
    EXPECT_EQ(g_asked[1].second, static_cast<UINT>(MB_ICONQUESTION | MB_OKCANCEL));
    EXPECT_EQ(traytest::Str(IDS_HOTKEY_FAILED),
              L"ホットキーが設定できませんでした。他のキーの組み合わせに変更してください。");
    EXPECT_TRUE(traytest::HasError(traytest::NewErrors(), L"fail : RegisterHotKey"));
    // The old hotkey is registered again and the stored pair is unchanged.
    EXPECT_FALSE(Free(MOD_ALT, VK_F2));
    DWORD value = 0;
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"HotKey", &value));
    EXPECT_EQ(value, static_cast<DWORD>(VK_F2));
    UnregisterHotKey(other, 5);
    DestroyWindow(other);
    UnregisterMainHotkey(owner.Get());
}

TEST_F(HotkeyTest, CancelWithAChangeAsksAndStaysOnNo) {
    traytest::TestOwner owner;
    g_answers = {IDCANCEL, IDOK};
    int questionsAfterFirstCancel = -1;
    {
        DialogDriver driver([&](HWND dialog) {
            SendDlgItemMessageW(dialog, IDC_HOTKEY_COMBO, CB_SETCURSEL, 5, 0);
            SendMessageW(dialog, WM_CLOSE, 0, 0);  // closing the window counts as cancel
            for (int i = 0; i < 200 && g_askedCount == 0; ++i) {
                Sleep(10);
            }
            Sleep(50);
            questionsAfterFirstCancel = IsWindow(dialog) ? g_askedCount.load() : -1;
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(ShowHotkeyDialog(owner.Get()), IDCANCEL);
    }
    EXPECT_EQ(questionsAfterFirstCancel, 1);
    EXPECT_EQ(g_asked.size(), 2u);
    EXPECT_FALSE(testreg::ValueExists(HKEY_CURRENT_USER, kKey, L"HotKey"));
    EXPECT_TRUE(Free(MOD_ALT, VK_F6));
}

TEST_F(HotkeyTest, ResetTakesTheMachineDefault) {
    StorePair(HKEY_LOCAL_MACHINE, MOD_CONTROL, VK_F11);
    StorePair(HKEY_CURRENT_USER, MOD_ALT, VK_F3);
    traytest::SetFlags(plans::FLAG_ECO | plans::FLAG_THREE_MODE);
    traytest::TestOwner owner;
    ASSERT_FALSE(Free(MOD_ALT, VK_F3));
    g_answers = {IDNO, IDYES};
    int afterNo = -1;
    int afterYes = -1;
    std::wstring label;
    {
        DialogDriver driver([&](HWND dialog) {
            wchar_t text[64] = L"";
            GetDlgItemTextW(dialog, IDC_HOTKEY_RESET, text, 64);
            label = text;
            SendMessageW(dialog, WM_COMMAND, IDC_HOTKEY_RESET, 0);
            afterNo = Selection(dialog);
            SendMessageW(dialog, WM_COMMAND, IDC_HOTKEY_RESET, 0);
            afterYes = Selection(dialog);
            // The reset selection is the new initial one: cancel asks nothing.
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        EXPECT_EQ(ShowHotkeyDialog(owner.Get()), IDCANCEL);
    }
    EXPECT_EQ(label, L"初期設定に戻す(&R)");
    EXPECT_EQ(afterNo, 3);
    EXPECT_EQ(afterYes, 22);
    ASSERT_EQ(g_asked.size(), 2u);
    EXPECT_EQ(g_asked[0].first, IDS_HOTKEY_RESET_QUESTION);
    EXPECT_EQ(g_asked[0].second, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO));
    EXPECT_FALSE(Free(MOD_CONTROL, VK_F11));
    EXPECT_TRUE(Free(MOD_ALT, VK_F3));
    DWORD value = 0;
    ASSERT_TRUE(testreg::GetDword(HKEY_CURRENT_USER, kKey, L"HotKey", &value));
    EXPECT_EQ(value, static_cast<DWORD>(VK_F11));
    UnregisterMainHotkey(owner.Get());
}
