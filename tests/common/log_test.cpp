#include "common/log.h"

#include <aclapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "common/registry.h"
#include "test_files.h"

namespace {

using common::UniqueHandle;
using common::UniqueRegKey;
using testutil::ReadFileBytes;
using testutil::Utf16Text;

constexpr wchar_t kTestRoot[] = L"Software\\Orvel\\SolvaneTest";
constexpr wchar_t kTestKey[] = L"Software\\Orvel\\SolvaneTest\\DbgLog";
constexpr wchar_t kTestMutex[] = L"Global\\clog_mutex_name_Software$Orvel$SolvaneTest$DbgLog";
constexpr wchar_t kTraceName[] = L"solvane_trace_test.log";
constexpr wchar_t kSubfolder[] = L"SolvaneTraceSub";
constexpr wchar_t kMissingFolder[] = L"SolvaneTraceMissing";
constexpr size_t kStampCch = 25;  // "[2026/12/07 11:45:35.123]"
constexpr size_t kLineLimit = 1023;

std::wstring CommonAppData() {
    wchar_t folder[MAX_PATH] = {};
    EXPECT_TRUE(SHGetSpecialFolderPathW(nullptr, folder, CSIDL_COMMON_APPDATA, FALSE));
    return folder;
}

// Everything the debugger would receive through OutputDebugStringW.
std::wstring g_debugWide;
std::wstring g_debugNarrow;

LONG CALLBACK CaptureDebugString(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    constexpr DWORD kPrintWide = 0x4001000A;    // DBG_PRINTEXCEPTION_WIDE_C
    constexpr DWORD kPrintNarrow = 0x40010006;  // DBG_PRINTEXCEPTION_C
    if (record->NumberParameters >= 2) {
        const size_t cch = static_cast<size_t>(record->ExceptionInformation[0]);
        if (record->ExceptionCode == kPrintWide) {
            const auto* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
            g_debugWide.append(text, wcsnlen(text, cch));
        } else if (record->ExceptionCode == kPrintNarrow) {
            const auto* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
            for (size_t i = 0; i < cch && text[i] != '\0'; ++i) {
                g_debugNarrow.push_back(static_cast<wchar_t>(static_cast<unsigned char>(text[i])));
            }
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

bool IsWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring DebuggerText() { return g_debugWide.empty() ? g_debugNarrow : g_debugWide; }

class TraceLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = CommonAppData();
        Cleanup();
        ASSERT_EQ(common::CreateRegKey(HKEY_LOCAL_MACHINE, kTestKey, KEY_WRITE, m_key), ERROR_SUCCESS);
    }
    void TearDown() override {
        m_key.Reset();
        Cleanup();
        testutil::RemoveKeyIfEmpty(HKEY_LOCAL_MACHINE, L"Software\\Orvel");
        UniqueRegKey gone;
        EXPECT_EQ(common::OpenRegKey(HKEY_LOCAL_MACHINE, kTestRoot, KEY_READ, gone),
                  ERROR_FILE_NOT_FOUND);
    }
    void Cleanup() {
        common::DeleteRegTree(HKEY_LOCAL_MACHINE, kTestRoot);
        DeleteFileW(PathOf(L"default.log").c_str());
        DeleteFileW(PathOf(kTraceName).c_str());
        DeleteFileW(PathOf(std::wstring(kTraceName) + L".old").c_str());
        DeleteFileW(PathOf(std::wstring(kSubfolder) + L"\\" + kTraceName).c_str());
        RemoveDirectoryW(PathOf(kSubfolder).c_str());
        RemoveDirectoryW(PathOf(kMissingFolder).c_str());
    }
    std::wstring PathOf(const std::wstring& name) const { return m_folder + L"\\" + name; }

    void SetDword(const wchar_t* name, DWORD value) {
        ASSERT_EQ(common::WriteRegDword(m_key.Get(), name, value), ERROR_SUCCESS);
    }
    void SetName(const std::wstring& name, DWORD type = REG_SZ) {
        ASSERT_EQ(RegSetValueExW(m_key.Get(), L"filename", 0, type,
                                 reinterpret_cast<const BYTE*>(name.c_str()),
                                 static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    void Configure(DWORD form, DWORD level, const wchar_t* fileName = kTraceName) {
        SetDword(L"logform", form);
        SetDword(L"loglevel", level);
        if (fileName != nullptr) {
            SetName(fileName);
        }
    }
    // The lines of a trace file: checks the byte-order mark and returns the text after it.
    std::wstring TraceText(const std::wstring& name) {
        std::vector<BYTE> bytes;
        if (!ReadFileBytes(PathOf(name), bytes)) {
            ADD_FAILURE() << "no trace file " << testing::PrintToString(name);
            return L"";
        }
        EXPECT_GE(bytes.size(), 2u);
        if (bytes.size() < 2) {
            return L"";
        }
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1], 0xFE);
        EXPECT_EQ(bytes.size() % 2, 0u) << "UTF-16LE has whole characters";
        std::wstring text = Utf16Text(bytes, 2);
        EXPECT_EQ(text.find(L'\xFEFF'), std::wstring::npos) << "the mark is written once only";
        return text;
    }
    bool Exists(const std::wstring& name) const {
        return GetFileAttributesW(PathOf(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    // Configures a fresh instance with fileName and reports the name it kept.
    std::wstring KeptName(const std::wstring& fileName, DWORD type = REG_SZ) {
        SetName(fileName, type);
        CLog log;
        EXPECT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
        return log.FileName();
    }

    std::wstring m_folder;
    UniqueRegKey m_key;
};

// Splits "stamp rest" lines and checks every stamp lies between before and after.
std::vector<std::wstring> Bodies(const std::wstring& text, const SYSTEMTIME& before,
                                 const SYSTEMTIME& after) {
    std::vector<std::wstring> bodies;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L"\r\n", start);
        EXPECT_NE(end, std::wstring::npos) << "every line ends with CR LF";
        if (end == std::wstring::npos) {
            break;
        }
        std::wstring line = text.substr(start, end - start);
        EXPECT_TRUE(testutil::StampWithin(line.substr(0, kStampCch), before, after, true))
            << testing::PrintToString(line);
        bodies.push_back(line.substr(kStampCch));
        start = end + 2;
    }
    return bodies;
}

TEST(TraceLog, ConstructionValuesAndUninitialisedTraceWritesNothing) {
    CLog log;
    EXPECT_FALSE(log.IsInitialised());
    EXPECT_EQ(log.Form(), 1u);
    EXPECT_EQ(log.Level(), 1u);
    EXPECT_EQ(log.DebuggerOutput(), 0u);
    EXPECT_STREQ(log.FileName(), L"");
    EXPECT_EQ(log.MutexTimeoutMs(), 0u);
    EXPECT_EQ(log.FileFlags(), 0x80000002u);
    const std::wstring path = CommonAppData() + L"\\default.log";
    DeleteFileW(path.c_str());
    log.Trace(0, L"Test", __LINE__, L"dropped");
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    // The module's own instance is untouched by the tests and drops every line too.
    EXPECT_FALSE(g_Log.IsInitialised());
    LOG_TRACE(0, L"Test", L"dropped %d", 1);
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(TraceLog, MutexNameIsSanitisedAndBounded) {
    wchar_t name[400];
    ASSERT_EQ(CLog::BuildMutexName(L"Software\\Orvel\\Solvane\\DbgLog", name, 400), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Global\\clog_mutex_name_Software$Orvel$Solvane$DbgLog");
    ASSERT_EQ(CLog::BuildMutexName(L"Software\\Orvel\\Morrow\\DbgLog", name, 400), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Global\\clog_mutex_name_Software$Orvel$Morrow$DbgLog");
    ASSERT_EQ(CLog::BuildMutexName(L"a.b\\c..d", name, 400), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Global\\clog_mutex_name_a$b$c$$d");
    ASSERT_EQ(CLog::BuildMutexName(nullptr, name, 400), ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Global\\clog_mutex_name");
    // The base name holds at most 259 characters: "clog_mutex_name_" is 16 of them.
    const std::wstring fits(243, L'k');
    ASSERT_EQ(CLog::BuildMutexName(fits.c_str(), name, 400), ERROR_SUCCESS);
    EXPECT_EQ(wcslen(name), 7u + 16u + 243u);
    const std::wstring tooLong(244, L'k');
    EXPECT_EQ(CLog::BuildMutexName(tooLong.c_str(), name, 400), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_STREQ(name, L"");
    EXPECT_EQ(CLog::BuildMutexName(L"x", name, 10), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    CLog log;
    EXPECT_EQ(log.Init(tooLong.c_str()), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(log.IsInitialised());
}

TEST_F(TraceLogTest, InitCreatesOpenNullDaclMutexAndDestructionClosesIt) {
    Configure(1, 1);
    {
        CLog log;
        ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_TRUE(log.IsInitialised());
        EXPECT_EQ(log.MutexTimeoutMs(), 3000u);
        UniqueHandle mutex(OpenMutexW(SYNCHRONIZE | READ_CONTROL, FALSE, kTestMutex));
        ASSERT_TRUE(mutex.Valid()) << GetLastError();
        PACL dacl = reinterpret_cast<PACL>(1);
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_EQ(GetSecurityInfo(mutex.Get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                  nullptr, &dacl, nullptr, &sd),
                  static_cast<DWORD>(ERROR_SUCCESS));
        common::UniqueLocal sdOwner(sd);
        EXPECT_EQ(dacl, nullptr) << "everyone may use the log mutex";
        // A second instance of the same key shares the mutex.
        CLog second;
        EXPECT_EQ(second.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    }
    UniqueHandle after(OpenMutexW(SYNCHRONIZE, FALSE, kTestMutex));
    EXPECT_FALSE(after.Valid()) << "the destructor must close the mutex";
}

TEST_F(TraceLogTest, NoKeyWritesNothingAtAnyLevel) {
    m_key.Reset();
    common::DeleteRegTree(HKEY_LOCAL_MACHINE, kTestRoot);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(log.IsInitialised());
    EXPECT_EQ(log.Form(), 0u);
    EXPECT_EQ(log.Level(), 0u);
    EXPECT_EQ(log.DebuggerOutput(), 0u);
    EXPECT_STREQ(log.FileName(), L"default.log");
    log.Trace(0, L"Test", __LINE__, L"EcoMode Utility Start!");
    log.Trace(1, L"Test", __LINE__, L"Enter");
    EXPECT_FALSE(Exists(L"default.log"));
}

TEST_F(TraceLogTest, NullKeyPathKeepsConstructionFormAndLevel) {
    CLog log;
    ASSERT_EQ(log.Init(nullptr), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(log.Form(), 1u);
    EXPECT_EQ(log.Level(), 1u);
    EXPECT_STREQ(log.FileName(), L"default.log");
    UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, L"Global\\clog_mutex_name"));
    EXPECT_TRUE(mutex.Valid());
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    log.Trace(1, L"Test", __LINE__, L"level %d", 1);
    log.Trace(2, L"Test", __LINE__, L"level %d", 2);
    GetLocalTime(&after);
    const auto bodies = Bodies(TraceText(L"default.log"), before, after);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], L" level 1");
}

TEST_F(TraceLogTest, InitTwiceKeepsTheFirstConfiguration) {
    Configure(2, 2);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    SetDword(L"logform", 1);
    SetDword(L"loglevel", 0);
    EXPECT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(log.Init(nullptr), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(log.Form(), 2u);
    EXPECT_EQ(log.Level(), 2u);
    EXPECT_STREQ(log.FileName(), kTraceName);
}

TEST_F(TraceLogTest, ShortFormWritesStampAndMessageUpToTheLevel) {
    Configure(1, 1);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    log.Trace(0, L"WinMain", 10, L"EcoMode Utility Start!");
    log.Trace(1, L"WinMain", 11, L"Exit retval:%08x", 0x1234u);
    log.Trace(2, L"CWmi::~CWmi", 12, L"Enter");
    log.Trace(0xFFFFFFFFu, L"WinMain", 13, L"huge level");
    log.Trace(0, nullptr, 14, L"no function");
    log.Trace(0, L"WinMain", 15, nullptr);
    log.Trace(1, L"WinMain", 16, L"%s:%d", L"Brightness", 80);
    GetLocalTime(&after);
    const auto bodies = Bodies(TraceText(kTraceName), before, after);
    ASSERT_EQ(bodies.size(), 3u);
    EXPECT_EQ(bodies[0], L" EcoMode Utility Start!");
    EXPECT_EQ(bodies[1], L" Exit retval:00001234");
    EXPECT_EQ(bodies[2], L" Brightness:80");
    EXPECT_FALSE(Exists(L"default.log"));
}

// Checks a DACL holds exactly the three trace-file ACEs in order.
void ExpectTraceFileDacl(const ACL* dacl, bool exactSize) {
    ASSERT_NE(dacl, nullptr);
    EXPECT_EQ(dacl->AclRevision, ACL_REVISION);
    ASSERT_EQ(dacl->AceCount, 3u);
    const WELL_KNOWN_SID_TYPE expected[3] = {WinLocalSystemSid, WinBuiltinAdministratorsSid,
                                             WinBuiltinUsersSid};
    // Windows may map the generic rights to the file's own when it stores them.
    const DWORD generic = GENERIC_READ | GENERIC_WRITE;
    const DWORD mapped = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
    DWORD sidBytes = 0;
    for (DWORD i = 0; i < 3; ++i) {
        void* raw = nullptr;
        ASSERT_TRUE(GetAce(const_cast<ACL*>(dacl), i, &raw));
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(ace->Header.AceFlags, CONTAINER_INHERIT_ACE) << i;
        if (exactSize) {
            EXPECT_EQ(ace->Mask, generic) << std::hex << ace->Mask;
        } else {
            EXPECT_TRUE(ace->Mask == generic || ace->Mask == mapped) << std::hex << ace->Mask;
        }
        BYTE want[SECURITY_MAX_SID_SIZE];
        DWORD cb = sizeof(want);
        ASSERT_TRUE(CreateWellKnownSid(expected[i], nullptr, want, &cb));
        PSID sid = const_cast<DWORD*>(&ace->SidStart);
        EXPECT_TRUE(EqualSid(sid, want)) << "ACE " << i;
        sidBytes += GetLengthSid(want);
    }
    if (exactSize) {
        EXPECT_EQ(dacl->AclSize, 32u + sidBytes) << "32 bytes plus the three SIDs";
    }
}

TEST(TraceLog, NewFileDescriptorHoldsThreeAcesInOrder) {
    CLogFileSecurity security;
    ASSERT_TRUE(security.Valid());
    SECURITY_ATTRIBUTES* attributes = security.Attributes();
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_EQ(attributes->lpSecurityDescriptor, security.Descriptor());
    EXPECT_FALSE(attributes->bInheritHandle);
    ASSERT_TRUE(IsValidSecurityDescriptor(security.Descriptor()));
    BOOL present = FALSE;
    BOOL defaulted = TRUE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(security.Descriptor(), &present, &dacl, &defaulted));
    EXPECT_TRUE(present);
    EXPECT_FALSE(defaulted);
    ExpectTraceFileDacl(dacl, true);
}

TEST_F(TraceLogTest, NewFileIsHiddenAndKeepsTheDaclWhereTheSystemStoresIt) {
    Configure(1, 0);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    log.Trace(0, L"Test", __LINE__, L"x");
    const std::wstring path = PathOf(kTraceName);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);

    DWORD needed = 0;
    GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &needed);
    ASSERT_GT(needed, 0u);
    std::vector<BYTE> sd(needed);
    ASSERT_TRUE(GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, sd.data(), needed, &needed));
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd.data(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present);
    ASSERT_NE(dacl, nullptr);
    // Wine 8 keeps no file DACL: it reports one made from the Unix mode (LocalSystem and the
    // owner, full access). Everywhere else the stored DACL is the one the file was created with.
    if (IsWine()) {
        return;
    }
    ExpectTraceFileDacl(dacl, false);
}

TEST_F(TraceLogTest, LongFormCarriesProcessThreadFunctionAndLine) {
    Configure(2, 0);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    log.Trace(0, L"WinMain", 4321, L"EcoMode Utility Start!");
    log.Trace(1, L"WinMain", 4322, L"Enter");
    log.Trace(0, L"CWmi::~CWmi", -7, L"g_iNumMonitor:%d", 2);
    GetLocalTime(&after);
    const auto bodies = Bodies(TraceText(kTraceName), before, after);
    ASSERT_EQ(bodies.size(), 2u);
    wchar_t ids[64];
    swprintf(ids, 64, L"[%08X][%08X]", static_cast<unsigned>(GetCurrentProcessId()),
             static_cast<unsigned>(GetCurrentThreadId()));
    EXPECT_EQ(bodies[0], std::wstring(ids) + L"[WinMain][4321] EcoMode Utility Start!");
    EXPECT_EQ(bodies[1], std::wstring(ids) + L"[CWmi::~CWmi][-7] g_iNumMonitor:2");
}

TEST_F(TraceLogTest, OtherFormsWriteNothingNotEvenToTheDebugger) {
    PVOID handler = AddVectoredExceptionHandler(1, CaptureDebugString);
    ASSERT_NE(handler, nullptr);
    for (DWORD form : {0u, 3u}) {
        m_key.Reset();
        common::DeleteRegTree(HKEY_LOCAL_MACHINE, kTestRoot);
        ASSERT_EQ(common::CreateRegKey(HKEY_LOCAL_MACHINE, kTestKey, KEY_WRITE, m_key), ERROR_SUCCESS);
        Configure(form, 2);
        SetDword(L"dbgport", 1);
        g_debugWide.clear();
        g_debugNarrow.clear();
        CLog log;
        ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_EQ(log.Form(), form);
        EXPECT_EQ(log.DebuggerOutput(), 1u);
        log.Trace(0, L"Test", __LINE__, L"silent");
        EXPECT_FALSE(Exists(kTraceName)) << "form " << form;
        EXPECT_EQ(DebuggerText(), L"") << "form " << form;
    }
    RemoveVectoredExceptionHandler(handler);
}

TEST_F(TraceLogTest, DebuggerGetsTheSameLineAsTheFile) {
    Configure(1, 0);
    SetDword(L"dbgport", 1);
    PVOID handler = AddVectoredExceptionHandler(1, CaptureDebugString);
    ASSERT_NE(handler, nullptr);
    g_debugWide.clear();
    g_debugNarrow.clear();
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    log.Trace(0, L"Test", __LINE__, L"to the debugger");
    const std::wstring captured = DebuggerText();
    RemoveVectoredExceptionHandler(handler);
    const std::wstring text = TraceText(kTraceName);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(captured, text);

    // Without "dbgport" nothing goes to the debugger.
    SetDword(L"dbgport", 0);
    handler = AddVectoredExceptionHandler(1, CaptureDebugString);
    g_debugWide.clear();
    g_debugNarrow.clear();
    CLog quiet;
    ASSERT_EQ(quiet.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    quiet.Trace(0, L"Test", __LINE__, L"file only");
    EXPECT_EQ(DebuggerText(), L"");
    RemoveVectoredExceptionHandler(handler);
}

TEST_F(TraceLogTest, ValuesOfAnotherTypeKeepTheirFallbacks) {
    const wchar_t text[] = L"2";
    ASSERT_EQ(RegSetValueExW(m_key.Get(), L"logform", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                             sizeof(text)),
              ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExW(m_key.Get(), L"loglevel", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(&one), sizeof(one)),
              ERROR_SUCCESS);
    SetDword(L"dbgport", 5);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(log.Form(), 0u);
    EXPECT_EQ(log.Level(), 0u);
    EXPECT_EQ(log.DebuggerOutput(), 5u);
}

TEST_F(TraceLogTest, FileNamesLeavingTheFolderFallBackToDefault) {
    const wchar_t* rejected[] = {
        L"..\\escape.log",        L"logs\\..\\..\\escape.log", L"../escape.log",
        L"logs/../escape.log",    L"..",                       L"sub\\..",
        L"C:\\..\\escape.log",    L"\\\\server\\..\\x.log",     L"trace.log:stream",
        L"",
    };
    for (const wchar_t* name : rejected) {
        EXPECT_EQ(KeptName(name), L"default.log") << testing::PrintToString(std::wstring(name));
    }
    EXPECT_EQ(KeptName(L"my..log"), L"my..log") << "dots inside a name are harmless";
    EXPECT_EQ(KeptName(L"sub\\trace.log"), L"sub\\trace.log");
    EXPECT_EQ(KeptName(kTraceName, REG_EXPAND_SZ), L"default.log");
    EXPECT_EQ(KeptName(std::wstring(259, L'n')), std::wstring(259, L'n'));
    EXPECT_EQ(KeptName(std::wstring(260, L'n')), L"default.log");
    EXPECT_EQ(KeptName(std::wstring(400, L'n')), L"default.log");
}

TEST_F(TraceLogTest, AbsoluteNamesWriteNothing) {
    struct Row {
        const wchar_t* name;
        const wchar_t* target;  // where the name points when taken on its own; null for a share
    };
    const Row rows[] = {
        {L"\\solvane_abs_trace.log", L"\\solvane_abs_trace.log"},
        {L"/solvane_abs_trace.log", L"\\solvane_abs_trace.log"},
        {L"C:\\solvane_abs_trace.log", L"C:\\solvane_abs_trace.log"},
        {L"C:solvane_abs_trace.log", nullptr},
        {L"c:/solvane_abs_trace.log", L"C:\\solvane_abs_trace.log"},
        {L"\\\\server\\share\\solvane_abs_trace.log", nullptr},
        {L"//server/share/solvane_abs_trace.log", nullptr},
        {L"\\\\?\\C:\\solvane_abs_trace.log", L"C:\\solvane_abs_trace.log"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.name)));
        Configure(1, 0, row.name);
        CLog log;
        ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
        EXPECT_STREQ(log.FileName(), row.name) << "not replaced by default.log";
        wchar_t path[MAX_PATH] = L"x";
        EXPECT_EQ(log.BuildFilePath(path, MAX_PATH), static_cast<DWORD>(ERROR_BAD_PATHNAME));
        EXPECT_STREQ(path, L"");
        log.Trace(0, L"Test", __LINE__, L"nowhere");
        EXPECT_FALSE(Exists(L"default.log"));
        EXPECT_FALSE(Exists(L"solvane_abs_trace.log"));
        if (row.target != nullptr) {
            EXPECT_EQ(GetFileAttributesW(row.target), INVALID_FILE_ATTRIBUTES);
            DeleteFileW(row.target);
        }
    }
}

TEST_F(TraceLogTest, RejectedNameWritesToDefaultInTheFolder) {
    Configure(1, 0, L"..\\solvane_trace_test.log");
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    log.Trace(0, L"Test", __LINE__, L"kept inside");
    const std::wstring text = TraceText(L"default.log");
    EXPECT_NE(text.find(L" kept inside\r\n"), std::wstring::npos);
    const std::wstring parent = m_folder.substr(0, m_folder.rfind(L'\\')) + L"\\" + kTraceName;
    EXPECT_EQ(GetFileAttributesW(parent.c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t path[MAX_PATH];
    ASSERT_EQ(log.BuildFilePath(path, MAX_PATH), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(std::wstring(path), PathOf(L"default.log"));
    EXPECT_EQ(log.BuildFilePath(path, 5), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(path, L"");
}

TEST_F(TraceLogTest, SubfolderIsUsedOnlyWhenItExists) {
    const std::wstring inMissing = std::wstring(kMissingFolder) + L"\\" + kTraceName;
    Configure(1, 0, inMissing.c_str());
    {
        CLog log;
        ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
        log.Trace(0, L"Test", __LINE__, L"lost");
    }
    EXPECT_FALSE(Exists(kMissingFolder)) << "folders are never created";
    EXPECT_FALSE(Exists(L"default.log"));

    ASSERT_TRUE(CreateDirectoryW(PathOf(kSubfolder).c_str(), nullptr));
    const std::wstring inSub = std::wstring(kSubfolder) + L"\\" + kTraceName;
    SetName(inSub);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    log.Trace(0, L"Test", __LINE__, L"in the subfolder");
    EXPECT_NE(TraceText(inSub).find(L" in the subfolder\r\n"), std::wstring::npos);
}

TEST_F(TraceLogTest, EmptiedFileGetsTheMarkAgainAndLinesAppend) {
    Configure(1, 0);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    log.Trace(0, L"Test", __LINE__, L"one");
    {
        common::UniqueFile file(CreateFileW(PathOf(kTraceName).c_str(), GENERIC_WRITE, 0, nullptr,
                                            TRUNCATE_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.Valid());
    }
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    log.Trace(0, L"Test", __LINE__, L"two");
    log.Trace(0, L"Test", __LINE__, L"three");
    GetLocalTime(&after);
    const auto bodies = Bodies(TraceText(kTraceName), before, after);
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], L" two");
    EXPECT_EQ(bodies[1], L" three");
}

TEST_F(TraceLogTest, OverlongLinesAreCutAt1023AndLoseTheirBreak) {
    Configure(1, 0);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    // stamp + " " + message + CR LF is exactly 1023 characters.
    const size_t fitting = kLineLimit - kStampCch - 1 - 2;
    const std::wstring exact(fitting, L'a');
    const std::wstring oneMore(fitting + 1, L'b');
    const std::wstring huge(2000, L'c');
    log.Trace(0, L"Test", __LINE__, L"%s", exact.c_str());
    log.Trace(0, L"Test", __LINE__, L"%s", oneMore.c_str());
    log.Trace(0, L"Test", __LINE__, L"%s", huge.c_str());
    log.Trace(0, L"Test", __LINE__, L"end");
    const std::wstring text = TraceText(kTraceName);

    ASSERT_GE(text.size(), 3 * kLineLimit);
    const std::wstring first = text.substr(0, kLineLimit);
    EXPECT_EQ(first.substr(kStampCch), L" " + exact + L"\r\n");
    const std::wstring second = text.substr(kLineLimit, kLineLimit);
    EXPECT_EQ(second.substr(kStampCch), L" " + oneMore + L"\r") << "only the LF is lost";
    const std::wstring third = text.substr(2 * kLineLimit, kLineLimit);
    EXPECT_EQ(third[0], L'[');
    EXPECT_EQ(third.substr(kStampCch), L" " + std::wstring(kLineLimit - kStampCch - 1, L'c'));
    const std::wstring rest = text.substr(3 * kLineLimit);
    EXPECT_EQ(rest.size(), kStampCch + 6);
    EXPECT_EQ(rest.substr(kStampCch), L" end\r\n");

    // The long form cuts the same way.
    Configure(2, 0);
    DeleteFileW(PathOf(kTraceName).c_str());
    CLog longForm;
    ASSERT_EQ(longForm.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    longForm.Trace(0, L"Test", 1, L"%s", huge.c_str());
    const std::wstring cut = TraceText(kTraceName);
    ASSERT_EQ(cut.size(), kLineLimit);
    EXPECT_EQ(cut.back(), L'c');
}

// Holds the log mutex from another thread until told to let go.
struct Holder {
    UniqueHandle held{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    DWORD waitResult = WAIT_FAILED;
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<Holder*>(param);
        UniqueHandle mutex(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kTestMutex));
        if (!mutex) {
            SetEvent(self->held.Get());
            return 1;
        }
        self->waitResult = WaitForSingleObject(mutex.Get(), INFINITE);
        SetEvent(self->held.Get());
        WaitForSingleObject(self->release.Get(), 60000);
        ReleaseMutex(mutex.Get());
        return 0;
    }
};

TEST_F(TraceLogTest, LineIsWrittenAfterTheBoundedWaitWhileTheMutexIsHeld) {
    Configure(1, 0);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    Holder holder;
    UniqueHandle thread(CreateThread(nullptr, 0, &Holder::Run, &holder, 0, nullptr));
    ASSERT_TRUE(thread.Valid());
    ASSERT_EQ(WaitForSingleObject(holder.held.Get(), 10000), WAIT_OBJECT_0);
    ASSERT_EQ(holder.waitResult, WAIT_OBJECT_0);

    const ULONGLONG start = GetTickCount64();
    log.Trace(0, L"Test", __LINE__, L"written anyway");
    const ULONGLONG waited = GetTickCount64() - start;
    // Read while the other thread still holds the lock: the wait was bounded.
    const std::wstring text = TraceText(kTraceName);
    SetEvent(holder.release.Get());
    ASSERT_EQ(WaitForSingleObject(thread.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_GE(waited, 2500u) << "the writer waits for the lock first";
    EXPECT_NE(text.find(L" written anyway\r\n"), std::wstring::npos);

    // With the lock free the writer takes it and gives it back: another thread gets it at once.
    log.Trace(0, L"Test", __LINE__, L"after release");
    EXPECT_NE(TraceText(kTraceName).find(L" after release\r\n"), std::wstring::npos);
    UniqueHandle probe(CreateThread(
        nullptr, 0,
        [](void*) -> DWORD {
            UniqueHandle mutex(OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kTestMutex));
            const DWORD result = mutex ? WaitForSingleObject(mutex.Get(), 0) : WAIT_FAILED;
            if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
                ReleaseMutex(mutex.Get());
            }
            return result;
        },
        nullptr, 0, nullptr));
    ASSERT_TRUE(probe.Valid());
    ASSERT_EQ(WaitForSingleObject(probe.Get(), 10000), WAIT_OBJECT_0);
    DWORD probeResult = WAIT_FAILED;
    GetExitCodeThread(probe.Get(), &probeResult);
    EXPECT_EQ(probeResult, static_cast<DWORD>(WAIT_OBJECT_0)) << "the writer must release the lock";
}

}  // namespace

namespace {

struct Writer {
    CLog* log;
    int id;
};

constexpr int kWriters = 4;
constexpr int kLinesPerWriter = 50;

DWORD WINAPI WriteLines(void* param) {
    const auto* writer = static_cast<const Writer*>(param);
    for (int i = 0; i < kLinesPerWriter; ++i) {
        writer->log->Trace(0, L"Writer", writer->id, L"w%d n%d", writer->id, i);
    }
    return 0;
}

TEST_F(TraceLogTest, ConcurrentWritersLoseNoLine) {
    Configure(2, 0);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    Writer writers[kWriters];
    UniqueHandle threads[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        writers[w] = {&log, w};
        threads[w].Reset(CreateThread(nullptr, 0, WriteLines, &writers[w], 0, nullptr));
        ASSERT_TRUE(threads[w].Valid());
    }
    for (auto& thread : threads) {
        ASSERT_EQ(WaitForSingleObject(thread.Get(), 60000), WAIT_OBJECT_0);
    }
    GetLocalTime(&after);
    const auto bodies = Bodies(TraceText(kTraceName), before, after);
    ASSERT_EQ(bodies.size(), static_cast<size_t>(kWriters * kLinesPerWriter));
    int next[kWriters] = {};
    for (const std::wstring& body : bodies) {
        unsigned pid = 0;
        unsigned tid = 0;
        int line = -1;
        int w = -1;
        int n = -1;
        ASSERT_EQ(swscanf(body.c_str(), L"[%8X][%8X][Writer][%d] w%d n%d", &pid, &tid, &line, &w, &n), 5)
            << testing::PrintToString(body);
        EXPECT_EQ(pid, GetCurrentProcessId());
        ASSERT_GE(w, 0);
        ASSERT_LT(w, kWriters);
        EXPECT_EQ(line, w);
        EXPECT_EQ(n, next[w]) << "each writer's lines appear in order, none lost";
        next[w] = n + 1;
    }
}

}  // namespace

// A trace file that would pass 1 MB becomes "<name>.old" (replacing an earlier one) and the line
// starts a new file with its byte-order mark; below the limit the line is appended.
TEST_F(TraceLogTest, FullFileIsRotatedToOneOldFile) {
    struct Case {
        ULONGLONG existingBytes;
        bool rotated;
    };
    const Case cases[] = {{4096, false}, {kLogRotateBytes - 400, false}, {kLogRotateBytes - 40, true},
                          {kLogRotateBytes + 2, true}};
    Configure(1, 0);
    CLog log;
    ASSERT_EQ(log.Init(kTestKey), static_cast<DWORD>(ERROR_SUCCESS));
    const std::wstring path = PathOf(kTraceName);
    const std::wstring oldPath = path + L".old";
    for (const Case& c : cases) {
        {
            common::UniqueFile old(CreateFileW(oldPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            ASSERT_TRUE(old.Valid());
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(old.Get(), "old", 3, &written, nullptr));
            common::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            ASSERT_TRUE(file.Valid());
            std::vector<BYTE> filler(static_cast<size_t>(c.existingBytes), 'A');
            filler[0] = 0xFF;
            filler[1] = 0xFE;
            ASSERT_TRUE(WriteFile(file.Get(), filler.data(), static_cast<DWORD>(filler.size()), &written, nullptr));
        }
        SYSTEMTIME before, after;
        GetLocalTime(&before);
        log.Trace(0, L"Test", __LINE__, L"after %llu", c.existingBytes);
        GetLocalTime(&after);
        std::vector<BYTE> old;
        ASSERT_TRUE(ReadFileBytes(oldPath, old));
        std::vector<BYTE> bytes;
        ASSERT_TRUE(ReadFileBytes(path, bytes));
        wchar_t tail[64];
        swprintf(tail, 64, L"] after %llu\r\n", c.existingBytes);
        const std::wstring text = Utf16Text(bytes, 0);
        ASSERT_GE(text.size(), wcslen(tail));
        EXPECT_EQ(text.substr(text.size() - wcslen(tail)), tail) << c.existingBytes;
        if (c.rotated) {
            EXPECT_EQ(old.size(), c.existingBytes) << "the full file became the old file";
            const auto bodies = Bodies(TraceText(kTraceName), before, after);
            ASSERT_EQ(bodies.size(), 1u) << "a new file with its mark holds only the line";
        } else {
            EXPECT_EQ(old.size(), 3u) << "the old file is untouched";
            EXPECT_GT(bytes.size(), c.existingBytes);
        }
    }
}
