// Two real Solvane.exe processes: the resident first start and a second start beside it.
#include <gtest/gtest.h>

#include "solvane_process.h"
#include "test_support.h"
#include "trace_file.h"

namespace {

using testsupport::FindProcessWindow;
using testsupport::SolvaneProcess;
using testsupport::TraceFile;
using testsupport::TraceLine;

constexpr DWORD kTimeoutMs = testsupport::kProcessTimeoutMs;
constexpr DWORD kTraceWaitMs = 5000;
constexpr UINT kStartupFailedId = 1;
constexpr UINT kMutexFailedId = 4;
constexpr UINT kImportRefusedId = 3007;
constexpr UINT kImportFileMissingId = 3002;

std::wstring LoadSolvaneString(UINT id) {
    common::UniqueModule module(LoadLibraryExW(testsupport::SolvanePath().c_str(), nullptr,
                                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    wchar_t text[1024] = {};
    int length = module ? LoadStringW(module.Get(), id, text, 1024) : 0;
    return std::wstring(text, length > 0 ? length : 0);
}

// The error log the program writes into its current directory (UTF-16LE, no byte-order mark).
std::wstring ReadErrorLog(const std::wstring& folder) {
    common::UniqueFile file(CreateFileW((folder + L"\\error.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return {};
    }
    wchar_t buffer[2048] = {};
    DWORD read = 0;
    ReadFile(file.Get(), buffer, sizeof(buffer) - sizeof(wchar_t), &read, nullptr);
    return std::wstring(buffer, read / sizeof(wchar_t));
}

class SolvaneStartup : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FindWindowW(L"Solvane", nullptr), nullptr)
            << "another Solvane instance is running in this prefix; the scenarios need it gone";
        ASSERT_TRUE(m_trace.Available()) << "the trace log wrote nothing; the scenarios observe the program through it";
    }

    void TearDown() override {
        m_second.Kill();
        m_first.Kill();
    }

    // Starts the resident instance and waits until it runs its message loop.
    HWND StartResident(const std::wstring& arguments = std::wstring(), const std::wstring& argv0 = std::wstring()) {
        if (!m_first.Start(arguments, m_folder.Path(), argv0)) {
            ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
            return nullptr;
        }
        EXPECT_EQ(WaitForInputIdle(m_first.Handle(), kTimeoutMs), 0u) << "no message loop";
        HWND hwnd = m_first.WaitForMainWindow();
        EXPECT_NE(hwnd, nullptr) << "the first start must stay resident with a \"Solvane\" window";
        return hwnd;
    }

    // Starts a second instance and expects it to end with 0 at once (no window of its own).
    void RunSecond(const std::wstring& arguments) {
        ASSERT_TRUE(m_second.Start(arguments, m_folder.Path()));
        DWORD code = 0xFFFFFFFF;
        ASSERT_TRUE(m_second.WaitForExit(kTimeoutMs, &code)) << "the second start must end by itself";
        EXPECT_EQ(code, 0u);
    }

    // After CloseResident: the first start's trace reaches its WM_DESTROY and holds no `text`.
    void ExpectNotTracedBeforeDestroy(const wchar_t* text) {
        const std::vector<TraceLine> lines = m_trace.LinesOf(m_first.Pid());
        const int destroy = TraceFile::Find(lines, L"WM_DESTROY: run flag cleared");
        ASSERT_GE(destroy, 0) << "the first start never reached its WM_DESTROY";
        EXPECT_LT(TraceFile::Find(lines, text), 0) << testing::PrintToString(text);
    }

    // Asks the resident instance to end as the installer does and expects exit code 0.
    void CloseResident(HWND hwnd) {
        ASSERT_TRUE(PostMessageW(hwnd, WM_CLOSE, 0, 0));
        DWORD code = 0xFFFFFFFF;
        ASSERT_TRUE(m_first.WaitForExit(kTimeoutMs, &code)) << "WM_CLOSE must end the program";
        EXPECT_EQ(code, 0u);
    }

    bool Traced(DWORD pid, const wchar_t* text) const { return m_trace.WaitFor(pid, text, kTraceWaitMs); }

    testsupport::TempFolder m_folder;  // current directory of the programs (their error.log)
    TraceFile m_trace;
    SolvaneProcess m_first;
    SolvaneProcess m_second;
};

TEST_F(SolvaneStartup, FirstStartStaysResidentHiddenAndEndsOnClose) {
    HWND hwnd = StartResident();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(hwnd));
    RECT rect = {};
    ASSERT_TRUE(GetWindowRect(hwnd, &rect));
    EXPECT_EQ(rect.right - rect.left, 0);
    EXPECT_EQ(rect.bottom - rect.top, 0);
    LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
    EXPECT_EQ(style & (WS_POPUP | WS_MINIMIZEBOX | WS_CHILD), WS_POPUP | WS_MINIMIZEBOX);
    EXPECT_TRUE(GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    EXPECT_EQ(testsupport::WindowText(hwnd), L"Tamsel");

    HWND button = FindWindowExW(hwnd, nullptr, L"BUTTON", L"OK");
    ASSERT_NE(button, nullptr) << "the hidden button child is missing";
    EXPECT_FALSE(IsWindowVisible(button));
    EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & (WS_CHILD | WS_VISIBLE), WS_CHILD);
    RECT buttonRect = {};
    ASSERT_TRUE(GetWindowRect(button, &buttonRect));
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&buttonRect), 2);
    EXPECT_EQ(buttonRect.left, 10);
    EXPECT_EQ(buttonRect.top, 10);
    EXPECT_EQ(buttonRect.right - buttonRect.left, 10);
    EXPECT_EQ(buttonRect.bottom - buttonRect.top, 10);

    // The instance and plan-list locks exist while it runs.
    common::UniqueHandle instanceMutex(OpenMutexW(SYNCHRONIZE, FALSE, L"sOLVANEmUTEX"));
    common::UniqueHandle planLock(OpenMutexW(SYNCHRONIZE, FALSE, L"sOLVANEmUTEXps"));
    EXPECT_TRUE(instanceMutex.Valid());
    EXPECT_TRUE(planLock.Valid());
    instanceMutex.Reset();
    planLock.Reset();

    CloseResident(hwnd);
    // Its objects go with it: a new start is a first start again.
    common::UniqueHandle after(OpenMutexW(SYNCHRONIZE, FALSE, L"sOLVANEmUTEX"));
    EXPECT_FALSE(after.Valid()) << "the instance mutex outlived the program";
}

TEST_F(SolvaneStartup, StartUpRunsItsStepsInOrderUpToTheMessageLoop) {
    HWND hwnd = StartResident();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(Traced(m_first.Pid(), L"minimise to the notification area"));
    std::vector<TraceLine> lines = m_trace.LinesOf(m_first.Pid());
    int enter = TraceFile::Find(lines, L"Enter");
    ASSERT_EQ(enter, 0) << "\"Enter\" must be the first line";
    EXPECT_EQ(lines[enter].function, L"WinMain");
    int start = TraceFile::Find(lines, L"EcoMode Utility Start!", enter);
    int model = TraceFile::Find(lines, L"UI language 17", start);
    int initEnter = TraceFile::Find(lines, L"Enter", enter + 1);
    int initExit = TraceFile::Find(lines, L"Exit retval:00000001", initEnter);
    int loop = TraceFile::Find(lines, L"message loop", initExit);
    int minimise = TraceFile::Find(lines, L"minimise to the notification area (code 10)", loop);
    EXPECT_EQ(start, 1);
    EXPECT_GT(model, start) << "OS model and UI language (Japanese) come before InitInstance";
    ASSERT_GT(initEnter, model);
    EXPECT_EQ(lines[initEnter].function, L"InitInstance");
    ASSERT_GT(initExit, initEnter);
    EXPECT_EQ(lines[initExit].function, L"InitInstance");
    EXPECT_GT(loop, initExit);
    EXPECT_GT(minimise, loop) << "the start-up's WM_COMMAND 52/10 arrives through the message loop";
    EXPECT_LT(TraceFile::Find(lines, L"already running"), 0);
    EXPECT_LT(TraceFile::Find(lines, L"WM_USER+"), 0) << "a plain start asks for no dialog";
    // The automatic plan change's lock, then its event, inside InitInstance.
    const int mutexCreated = TraceFile::Find(lines, L"hASMutexCreate SUCCESS(", initEnter);
    const int eventCreated = TraceFile::Find(lines, L"hASEventCreate SUCCESS(", initEnter);
    ASSERT_GT(mutexCreated, initEnter);
    EXPECT_GT(eventCreated, mutexCreated);
    EXPECT_LT(eventCreated, initExit);
    const int threadStarted = TraceFile::Find(lines, L"haucThreadCreate SUCCESS(", eventCreated);
    EXPECT_GT(threadStarted, eventCreated);
    EXPECT_LT(threadStarted, initExit);
    EXPECT_EQ(lines[mutexCreated].function, L"InitInstance");

    CloseResident(hwnd);
    lines = m_trace.LinesOf(m_first.Pid());
    int destroy = TraceFile::Find(lines, L"WM_DESTROY: run flag cleared");
    ASSERT_GE(destroy, 0);
    // Both are closed at the end, after the threads, and they are the handles created at the start.
    const int joined = TraceFile::Find(lines, L"WM_DESTROY: threads joined");
    const int mutexClosed = TraceFile::Find(lines, L"CloseHandle hASMutex=", joined);
    const int eventClosed = TraceFile::Find(lines, L"CloseHandle hASEvent=", joined);
    ASSERT_GT(mutexClosed, joined);
    ASSERT_GT(eventClosed, mutexClosed);
    EXPECT_LT(eventClosed, destroy);
    EXPECT_EQ(lines[mutexClosed].function, L"WndProc");
    auto handleText = [](const std::wstring& message, const std::wstring& before, wchar_t end) {
        const size_t at = message.find(before);
        if (at == std::wstring::npos) {
            return std::wstring();
        }
        const size_t from = at + before.size();
        return message.substr(from, message.find(end, from) - from);
    };
    const std::wstring mutexHandle = handleText(lines[mutexCreated].message, L"SUCCESS(", L')');
    EXPECT_NE(mutexHandle.find(L"0x"), std::wstring::npos) << testing::PrintToString(mutexHandle);
    EXPECT_EQ(handleText(lines[mutexClosed].message, L"hASMutex=", L'\0'), mutexHandle);
    EXPECT_EQ(handleText(lines[eventClosed].message, L"hASEvent=", L'\0'),
              handleText(lines[eventCreated].message, L"SUCCESS(", L')'));
    int exit = TraceFile::Find(lines, L"Exit retval:00000000", destroy);
    ASSERT_GT(exit, destroy);
    EXPECT_EQ(lines[exit].function, L"WinMain");
}

TEST_F(SolvaneStartup, SecondStartWithEcoModeForwardsItAndExits) {
    HWND hwnd = StartResident();
    ASSERT_NE(hwnd, nullptr);
    RunSecond(L"/EcoMode");
    EXPECT_TRUE(m_first.Running());
    EXPECT_EQ(FindWindowW(L"Solvane", nullptr), hwnd) << "the second start must not create its own window";
    EXPECT_TRUE(Traced(m_first.Pid(), L"WM_USER+9: ECO mode settings requested"));
    EXPECT_TRUE(Traced(m_second.Pid(), L"instance already running"));
    EXPECT_FALSE(TraceFile::AnyFrom(m_trace.LinesOf(m_second.Pid()), L"InitInstance")) << "it has ended";
    // Whatever the second start posted comes before the WM_CLOSE posted after it had ended.
    CloseResident(hwnd);
    ExpectNotTracedBeforeDestroy(L"WM_USER+10");
}

TEST_F(SolvaneStartup, PowerSchemeWithEcoModeIsAPlanSettingsRequestOnly) {
    HWND hwnd = StartResident();
    ASSERT_NE(hwnd, nullptr);
    RunSecond(L"/EcoMode /PowerScheme");
    ASSERT_TRUE(Traced(m_first.Pid(), L"WM_USER+10: power plan settings requested"));
    CloseResident(hwnd);
    ExpectNotTracedBeforeDestroy(L"WM_USER+9");
}

TEST_F(SolvaneStartup, FirstStartHonoursPowerSchemeItself) {
    HWND hwnd = StartResident(L"/PowerScheme");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(Traced(m_first.Pid(), L"WM_USER+10: power plan settings requested"));
    CloseResident(hwnd);
}

TEST_F(SolvaneStartup, ImportBesideAResidentInstanceIsRefused) {
    HWND hwnd = StartResident();
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(m_second.Start(L"/import C:\\settings\\conf.ECOSettings", m_folder.Path()));
    HWND box = m_second.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "the refusal message did not appear";
    EXPECT_EQ(testsupport::WindowText(box), L"Kaviro");
    std::wstring expected = LoadSolvaneString(kImportRefusedId);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(testsupport::DialogStaticText(box), expected);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD code = 0xFFFFFFFF;
    ASSERT_TRUE(m_second.WaitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(m_first.Running());
    std::vector<TraceLine> lines = m_trace.LinesOf(m_second.Pid());
    EXPECT_GE(TraceFile::Find(lines, L"import refused"), 0);
    EXPECT_FALSE(TraceFile::AnyFrom(lines, L"ImportSettings")) << "nothing may be imported beside the running program";
    CloseResident(hwnd);
}

TEST_F(SolvaneStartup, ExportBesideAResidentInstanceIsHandedOnWithoutQuotes) {
    HWND hwnd = StartResident();
    ASSERT_NE(hwnd, nullptr);
    const std::wstring folder = m_folder.Path() + L"\\dir with blanks";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\conf.ECOSettings";
    RunSecond(L"/export   \"" + file + L"\"");
    EXPECT_EQ(FindProcessWindow(m_second.Pid(), L"#32770"), nullptr);
    std::vector<TraceLine> lines = m_trace.LinesOf(m_second.Pid());
    int handOff = TraceFile::Find(lines, (L"export to \"" + file + L"\"").c_str());
    EXPECT_GE(handOff, 0);
    EXPECT_EQ(lines.at(handOff >= 0 ? handOff : 0).function, L"ExportSettings");
    EXPECT_LT(TraceFile::Find(lines, L"already running"), 0) << "export runs before the instance check";
    wchar_t threshold[8] = {};
    GetPrivateProfileStringW(L"EFEnv", L"Threshold", L"", threshold, ARRAYSIZE(threshold), file.c_str());
    EXPECT_STREQ(threshold, L"85") << "the export beside the resident program writes the file";
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
    CloseResident(hwnd);
}

TEST_F(SolvaneStartup, ImportWithoutResidentInstanceEndsWithoutStarting) {
    ASSERT_TRUE(m_second.Start(L"/import C:\\settings\\conf.ECOSettings", m_folder.Path()));
    HWND box = m_second.WaitForMessageBox();
    ASSERT_NE(box, nullptr) << "a missing file is reported";
    EXPECT_EQ(testsupport::WindowText(box), L"Kaviro");
    EXPECT_EQ(testsupport::DialogStaticText(box), LoadSolvaneString(kImportFileMissingId));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    DWORD code = 0xFFFFFFFF;
    ASSERT_TRUE(m_second.WaitForExit(kTimeoutMs, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(FindWindowW(L"Solvane", nullptr), nullptr);
    std::vector<TraceLine> lines = m_trace.LinesOf(m_second.Pid());
    EXPECT_GE(TraceFile::Find(lines, L"import of \"C:\\settings\\conf.ECOSettings\""), 0);
    EXPECT_FALSE(TraceFile::AnyFrom(lines, L"InitInstance")) << "an import never starts the resident program";
}

TEST_F(SolvaneStartup, ProgramPathHoldingASwitchStartsResident) {
    // Forward slashes put "/export" into the program name; it is no switch.
    HWND hwnd = StartResident(std::wstring(), L"\"C:/Program Files/export/Solvane.exe\"");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_TRUE(m_first.Running());
    CloseResident(hwnd);
}

TEST_F(SolvaneStartup, AStartThatCannotCreateItsLocksShowsTheFailureBoxAndLogsTheCause) {
    // An event holding the name makes CreateMutexW fail with ERROR_INVALID_HANDLE.
    for (const wchar_t* name : {L"sOLVANEmUTEX", L"sOLVANEmUTEXps"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        common::UniqueHandle squatter(CreateEventW(nullptr, TRUE, FALSE, name));
        ASSERT_TRUE(squatter.Valid());
        testsupport::TempFolder folder;
        SolvaneProcess process;
        ASSERT_TRUE(process.Start(std::wstring(), folder.Path()));
        HWND box = process.WaitForMessageBox();
        ASSERT_NE(box, nullptr) << "the start-up failure box did not appear";
        EXPECT_EQ(testsupport::WindowText(box), L"Tamsel");
        EXPECT_EQ(testsupport::DialogStaticText(box), LoadSolvaneString(kStartupFailedId) + L"(0x1)");
        EXPECT_EQ(FindProcessWindow(process.Pid(), L"Solvane"), nullptr) << "no main window after a failed start";
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        DWORD code = 0xFFFFFFFF;
        ASSERT_TRUE(process.WaitForExit(kTimeoutMs, &code));
        EXPECT_EQ(code, 0u);
        std::wstring errorLog = ReadErrorLog(folder.Path());
        std::wstring record = LoadSolvaneString(kMutexFailedId) + L"(0x6)\r\n";
        EXPECT_NE(errorLog.find(record), std::wstring::npos) << "error.log: " << testing::PrintToString(errorLog);
        EXPECT_EQ(errorLog.find(LoadSolvaneString(kStartupFailedId)), std::wstring::npos)
            << "the failure box is not written to the file";
        std::vector<TraceLine> lines = m_trace.LinesOf(process.Pid());
        int exit = TraceFile::Find(lines, L"Exit retval:00000000");
        ASSERT_GE(exit, 0);
        EXPECT_EQ(lines[exit].function, L"InitInstance");
    }
}

}  // namespace
