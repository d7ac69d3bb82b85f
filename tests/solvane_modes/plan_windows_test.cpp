// The guards before the plan windows and the video-playback warning, answered by a watcher thread
// the way a user would.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "app/app_globals.h"
#include "common/handles.h"
#include "plans/mode_switch.h"
#include "plans/plan_list.h"
#include "plans/power_guids.h"
#include "plans/settings.h"
#include "tests/solvane_app/test_support.h"

namespace {

constexpr wchar_t kCaption[] = L"ModesTest";
constexpr DWORD kFindTimeoutMs = 5000;

HWND FindOwnDialog() {
    struct Search {
        HWND found = nullptr;
    } search;
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t className[16] = {};
            wchar_t caption[64] = {};
            GetClassNameW(hwnd, className, ARRAYSIZE(className));
            GetWindowTextW(hwnd, caption, ARRAYSIZE(caption));
            if (pid == GetCurrentProcessId() && lstrcmpW(className, L"#32770") == 0 &&
                lstrcmpW(caption, kCaption) == 0 && IsWindowVisible(hwnd)) {
                reinterpret_cast<Search*>(lParam)->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitOwnDialog(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        if (HWND dialog = FindOwnDialog(); dialog != nullptr) {
            return dialog;
        }
        Sleep(20);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

std::wstring MessageText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));  // the message box's text control
    return text;
}

// Runs `act` on the first dialog of the process seen on a watcher thread.
class DialogWatcher {
public:
    explicit DialogWatcher(std::function<void(HWND)> act) : m_act(std::move(act)) {
        m_thread = std::thread([this] {
            HWND dialog = WaitOwnDialog(kFindTimeoutMs);
            if (dialog != nullptr) {
                m_seen = true;
                m_act(dialog);
            }
        });
    }
    ~DialogWatcher() { Join(); }
    void Join() {
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    bool Seen() const { return m_seen; }

private:
    std::function<void(HWND)> m_act;
    std::atomic<bool> m_seen{false};
    std::thread m_thread;
};

class PlanWindows : public testing::Test {
protected:
    void SetUp() override {
        lstrcpyW(g_szProgramTitle, kCaption);
        plans::activepsi = plans::PlanRecord{};
        plans::activepsi.guid = {0x11111111, 0x2222, 0x3333, {4, 4, 4, 4, 4, 4, 4, 4}};
    }
    void TearDown() override {
        plans::activepsi = plans::PlanRecord{};
        g_szProgramTitle[0] = L'\0';
    }
};

TEST_F(PlanWindows, ListedPlanWithoutFerrowPassesSilently) {
    EXPECT_TRUE(plans::PassPlanWindowGuards(nullptr, false));
    EXPECT_TRUE(plans::PassPlanWindowGuards(nullptr, true));
    EXPECT_EQ(FindOwnDialog(), nullptr);
}

TEST_F(PlanWindows, FerrowSettingsWindowBlocksOnlyThePlanSheet) {
    common::UniqueHandle ferrow(CreateMutexW(nullptr, FALSE, L"FERROW_SETTING_WINDOW"));
    ASSERT_TRUE(ferrow.Valid());
    EXPECT_TRUE(plans::PassPlanWindowGuards(nullptr, false)) << "the ECO mode settings are not blocked";
    std::wstring text;
    bool yesNo = true;
    DialogWatcher watcher([&](HWND box) {
        text = MessageText(box);
        yesNo = GetDlgItem(box, IDYES) != nullptr;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_FALSE(plans::PassPlanWindowGuards(nullptr, true));
    watcher.Join();
    EXPECT_TRUE(watcher.Seen());
    EXPECT_NE(text.find(L"Ferrow"), std::wstring::npos) << "message 95";
    EXPECT_FALSE(yesNo) << "a warning with OK only";
}

TEST_F(PlanWindows, HiddenPlanOfTheMakerAsksFirst) {
    plans::activepsi.dwFlags = plans::kPlanFlagHidden;
    for (int answer : {IDNO, IDYES}) {
        std::wstring text;
        DialogWatcher watcher([&](HWND box) {
            text = MessageText(box);
            PostMessageW(box, WM_COMMAND, answer, 0);
        });
        const bool pass = plans::PassPlanWindowGuards(nullptr, false);
        watcher.Join();
        EXPECT_TRUE(watcher.Seen());
        EXPECT_EQ(pass, answer == IDYES);
        EXPECT_NE(text.find(L"電源設定を変更しますか"), std::wstring::npos) << "message 123";
    }
}

TEST_F(PlanWindows, HiddenWindowsPlanOnlyInforms) {
    plans::activepsi.dwFlags = plans::kPlanFlagHidden;
    plans::activepsi.guid = plans::kPlanBalanced;
    std::wstring text;
    bool yesNo = true;
    DialogWatcher watcher([&](HWND box) {
        text = MessageText(box);
        yesNo = GetDlgItem(box, IDYES) != nullptr;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    EXPECT_TRUE(plans::PassPlanWindowGuards(nullptr, false));
    watcher.Join();
    EXPECT_TRUE(watcher.Seen());
    EXPECT_FALSE(yesNo);
    EXPECT_NE(text.find(kCaption), std::wstring::npos) << "message 532 names the program";
}

class VideoWarning : public testing::Test {
protected:
    void SetUp() override {
        lstrcpyW(g_szProgramTitle, kCaption);
        m_show.Delete();
    }
    void TearDown() override { g_szProgramTitle[0] = L'\0'; }
    DWORD StoredShowNext() {
        DWORD value = 0xDEAD;
        DWORD size = sizeof(value);
        RegGetValueW(HKEY_CURRENT_USER, L"Software\\Orvel\\Solvane", L"PwrChangeDlg", RRF_RT_REG_DWORD, nullptr,
                     &value, &size);
        return value;
    }
    testsupport::ScopedRegValue m_show{HKEY_CURRENT_USER, L"Software\\Orvel\\Solvane", L"PwrChangeDlg"};
};

TEST_F(VideoWarning, NotShownWhenTheLowPlanWasActiveBefore) {
    DialogWatcher watcher([](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDOK, 0); });
    plans::ShowVideoWarningFor(true, 1000);
    watcher.Join();
    EXPECT_FALSE(watcher.Seen());
    EXPECT_EQ(StoredShowNext(), 0xDEADu) << "nothing written";
}

TEST_F(VideoWarning, ShownOnceClosesItselfAndKeepsShowingNextTime) {
    std::atomic<bool> secondReturnedAtOnce{false};
    std::atomic<bool> showingSeen{false};
    DialogWatcher watcher([&](HWND) {
        showingSeen = plans::VideoWarningShowing();
        const DWORD start = GetTickCount();
        plans::ShowVideoWarningFor(false, 1000);  // a second warning while one is open
        secondReturnedAtOnce = GetTickCount() - start < 500;
    });
    plans::ShowVideoWarningFor(false, 1500);  // presses its own button after 1.5 s
    watcher.Join();
    EXPECT_TRUE(watcher.Seen()) << "the task dialog appeared";
    EXPECT_TRUE(showingSeen.load());
    EXPECT_TRUE(secondReturnedAtOnce.load()) << "no second warning while one is open";
    EXPECT_FALSE(plans::VideoWarningShowing());
    EXPECT_EQ(StoredShowNext(), 1u) << "check box cleared: show it next time";
}

TEST_F(VideoWarning, CheckBoxStopsItNextTime) {
    DialogWatcher watcher([](HWND dialog) {
        SendMessageW(dialog, TDM_CLICK_VERIFICATION, TRUE, FALSE);
        SendMessageW(dialog, TDM_CLICK_BUTTON, IDOK, 0);
    });
    plans::ShowVideoWarningFor(false, plans::kVideoWarningLifetimeMs);
    watcher.Join();
    EXPECT_TRUE(watcher.Seen());
    EXPECT_EQ(StoredShowNext(), 0u);
}

}  // namespace
