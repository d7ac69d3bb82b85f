#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "common/log.h"
#include "test_files.h"
#include "test_strings.h"

namespace {

using common::UniqueFile;
using common::UniqueHandle;
using testutil::ReadFileBytes;
using testutil::Utf16Text;

constexpr size_t kStampCch = 21;  // "[2026/12/07 11:45:35]"
constexpr size_t kLineLimit = 299;
constexpr wchar_t kCaption[] = L"SolvaneErrorLogTestCaption";
// {381b4222-f694-41f0-9685-ff5bb260df2e}
constexpr GUID kGuid = {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2e}};

std::wstring LongText() {
    std::wstring text;
    for (int i = 0; i < 28; ++i) {
        text += L"0123456789";
    }
    return text;
}

// The repeat rule's clock: every test starts ten minutes after the last, so no record of an
// earlier test counts as a repeat.
ULONGLONG g_fakeNowMs = 0;
ULONGLONG WINAPI FakeNow() { return g_fakeNowMs; }

// Runs each test in an empty folder of its own, the error log's current directory.
class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t previous[MAX_PATH];
        ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, previous), 0u);
        m_previous = previous;
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        m_folder = std::wstring(temp) + L"SolvaneErrorLogTest";
        RemoveAll();
        ASSERT_TRUE(CreateDirectoryW(m_folder.c_str(), nullptr));
        ASSERT_TRUE(SetCurrentDirectoryW(m_folder.c_str()));
        SetErrorLogModule(nullptr);
        SetErrorLogCaption(kCaption);
        g_fakeNowMs += 10 * 60 * 1000;
        SetErrorLogClock(FakeNow);
    }
    void TearDown() override {
        SetErrorLogClock(nullptr);
        SetCurrentDirectoryW(m_previous.c_str());
        SetErrorLogModule(nullptr);
        SetErrorLogCaption(nullptr);
        RemoveAll();
        EXPECT_EQ(GetFileAttributesW(m_folder.c_str()), INVALID_FILE_ATTRIBUTES);
    }
    void RemoveAll() {
        const std::wstring log = m_folder + L"\\error.log";
        SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(log.c_str());
        const std::wstring old = log + L".old";
        SetFileAttributesW(old.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(old.c_str());
        RemoveDirectoryW(log.c_str());
        RemoveDirectoryW(m_folder.c_str());
    }
    std::wstring LogPath() const { return m_folder + L"\\error.log"; }
    bool LogExists() const { return GetFileAttributesW(LogPath().c_str()) != INVALID_FILE_ATTRIBUTES; }
    std::vector<BYTE> LogBytes() {
        std::vector<BYTE> bytes;
        EXPECT_TRUE(ReadFileBytes(LogPath(), bytes));
        return bytes;
    }
    // Checks each line's stamp and returns what follows it.
    std::vector<std::wstring> Bodies(const SYSTEMTIME& before, const SYSTEMTIME& after) {
        const std::vector<BYTE> bytes = LogBytes();
        EXPECT_EQ(bytes.size() % 2, 0u);
        const std::wstring text = Utf16Text(bytes, 0);
        std::vector<std::wstring> bodies;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find(L"\r\n", start);
            EXPECT_NE(end, std::wstring::npos) << "every record ends with CR LF";
            if (end == std::wstring::npos) {
                break;
            }
            const std::wstring line = text.substr(start, end - start);
            EXPECT_TRUE(testutil::StampWithin(line.substr(0, kStampCch), before, after, false))
                << testing::PrintToString(line);
            bodies.push_back(line.substr(kStampCch));
            start = end + 2;
        }
        return bodies;
    }

    std::wstring m_previous;
    std::wstring m_folder;
};

TEST_F(ErrorLogTest, NumericRecordsAppendWithoutMarkAndHidden) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    EXPECT_EQ(WriteErrorLog(IDS_TEST_FAIL, 0x1234abcd5678ef09ull, ERRLOG_FILE), 0);
    EXPECT_EQ(WriteErrorLog(IDS_TEST_FAIL, 0, ERRLOG_FILE), 0);
    EXPECT_EQ(WriteErrorLog(IDS_TEST_FAIL, 0xFFFFFFFFFFFFFFFFull, ERRLOG_FILE), 0);
    EXPECT_EQ(WriteErrorLog(IDS_TEST_MISSING, 5, ERRLOG_FILE), 0);
    GetLocalTime(&after);

    const std::vector<BYTE> bytes = LogBytes();
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes[0], '[') << "no byte-order mark";
    EXPECT_EQ(bytes[1], 0);
    const DWORD attributes = GetFileAttributesW(LogPath().c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);

    const auto bodies = Bodies(before, after);
    ASSERT_EQ(bodies.size(), 4u);
    EXPECT_EQ(bodies[0], L" fail : CreateEvent(0x1234abcd5678ef09)");
    EXPECT_EQ(bodies[1], L" fail : CreateEvent(0x0)");
    EXPECT_EQ(bodies[2], L" fail : CreateEvent(0xffffffffffffffff)");
    EXPECT_EQ(bodies[3], L" (0x5)") << "an id without text gives an empty message";
}

TEST_F(ErrorLogTest, ExactBytesOfNonAsciiRecord) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    WriteErrorLog(IDS_TEST_JAPANESE, 0x57, ERRLOG_FILE);
    GetLocalTime(&after);
    const std::vector<BYTE> bytes = LogBytes();
    ASSERT_GT(bytes.size(), kStampCch * 2);
    ASSERT_TRUE(testutil::StampWithin(Utf16Text(bytes, 0).substr(0, kStampCch), before, after, false));
    const std::vector<BYTE> tail(bytes.begin() + kStampCch * 2, bytes.end());
    // " 失敗 : テスト(0x57)\r\n" in UTF-16LE
    const std::vector<BYTE> expected = {0x20, 0x00, 0x31, 0x59, 0x57, 0x65, 0x20, 0x00, 0x3A, 0x00,
                                        0x20, 0x00, 0xC6, 0x30, 0xB9, 0x30, 0xC8, 0x30, 0x28, 0x00,
                                        0x30, 0x00, 0x78, 0x00, 0x35, 0x00, 0x37, 0x00, 0x29, 0x00,
                                        0x0D, 0x00, 0x0A, 0x00};
    EXPECT_EQ(tail, expected);
}

TEST_F(ErrorLogTest, GuidRecordIsLowerCaseWithoutBraces) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    EXPECT_EQ(WriteErrorLogGuid(IDS_TEST_FAIL, kGuid, ERRLOG_FILE), 0);
    GetLocalTime(&after);
    const auto bodies = Bodies(before, after);
    ASSERT_EQ(bodies.size(), 1u);
    EXPECT_EQ(bodies[0], L" fail : CreateEvent(381b4222-f694-41f0-9685-ff5bb260df2e)");
}

TEST_F(ErrorLogTest, LongMessageIsCutKeepingValueAndLineBreak) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    WriteErrorLog(IDS_TEST_LONG, 0x1122334455667788ull, ERRLOG_FILE);
    WriteErrorLogGuid(IDS_TEST_LONG, kGuid, ERRLOG_FILE);
    WriteErrorLog(IDS_TEST_FAIL, 1, ERRLOG_FILE);
    GetLocalTime(&after);
    const auto bodies = Bodies(before, after);
    ASSERT_EQ(bodies.size(), 3u);
    const std::wstring number = L"(0x1122334455667788)";
    const std::wstring guid = L"(381b4222-f694-41f0-9685-ff5bb260df2e)";
    // Each line with its CR LF holds 299 characters, the message loses its tail.
    ASSERT_EQ(kStampCch + bodies[0].size() + 2, kLineLimit);
    EXPECT_EQ(bodies[0], L" " + LongText().substr(0, kLineLimit - kStampCch - 1 - number.size() - 2) + number);
    ASSERT_EQ(kStampCch + bodies[1].size() + 2, kLineLimit);
    EXPECT_EQ(bodies[1], L" " + LongText().substr(0, kLineLimit - kStampCch - 1 - guid.size() - 2) + guid);
    EXPECT_EQ(bodies[2], L" fail : CreateEvent(0x1)") << "the next record starts on its own line";
}

TEST_F(ErrorLogTest, UnopenableFileLosesTheRecordSilently) {
    ASSERT_EQ(WriteErrorLog(IDS_TEST_FAIL, 1, ERRLOG_FILE), 0);
    const std::vector<BYTE> first = LogBytes();
    {
        // Another writer holds the file exclusively.
        UniqueFile busy(CreateFileW(LogPath().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(busy.Valid());
        EXPECT_EQ(WriteErrorLog(IDS_TEST_FAIL, 2, ERRLOG_FILE), 0);
        EXPECT_EQ(WriteErrorLogGuid(IDS_TEST_FAIL, kGuid, ERRLOG_FILE), 0);
    }
    EXPECT_EQ(LogBytes(), first);

    // A folder in the file's place.
    SetFileAttributesW(LogPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileW(LogPath().c_str()));
    ASSERT_TRUE(CreateDirectoryW(LogPath().c_str(), nullptr));
    EXPECT_EQ(WriteErrorLog(IDS_TEST_FAIL, 3, ERRLOG_FILE), 0);
    EXPECT_NE(GetFileAttributesW(LogPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(ErrorLogTest, NoFileBitWritesNothing) {
    EXPECT_EQ(WriteErrorLog(IDS_TEST_FAIL, 1, 0), 0);
    EXPECT_EQ(WriteErrorLogGuid(IDS_TEST_FAIL, kGuid, 0), 0);
    EXPECT_FALSE(LogExists());
}

TEST_F(ErrorLogTest, StringsComeFromTheChosenModule) {
    // kernel32 has no text under the test's ids.
    SetErrorLogModule(GetModuleHandleW(L"kernel32.dll"));
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    WriteErrorLog(IDS_TEST_FAIL, 1, ERRLOG_FILE);
    SetErrorLogModule(nullptr);
    WriteErrorLog(IDS_TEST_FAIL, 2, ERRLOG_FILE);
    GetLocalTime(&after);
    const auto bodies = Bodies(before, after);
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0], L" (0x1)");
    EXPECT_EQ(bodies[1], L" fail : CreateEvent(0x2)");
}

// Answers the next message box with the test's caption: keeps its text and presses OK.
struct BoxAnswerer {
    std::wstring text;
    bool found = false;
    static DWORD WINAPI Run(void* param) {
        auto* self = static_cast<BoxAnswerer*>(param);
        for (int i = 0; i < 200 && !self->found; ++i) {
            HWND box = FindWindowW(L"#32770", kCaption);
            if (box != nullptr && IsWindowVisible(box)) {
                wchar_t text[512] = {};
                GetDlgItemTextW(box, 0xFFFF, text, 512);  // the message box's static text
                self->text = text;
                self->found = true;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return 0;
            }
            Sleep(50);
        }
        return 1;
    }
};

int ShowAndAnswer(BoxAnswerer& answerer, bool guid, DWORD flags) {
    UniqueHandle thread(CreateThread(nullptr, 0, &BoxAnswerer::Run, &answerer, 0, nullptr));
    EXPECT_TRUE(thread.Valid());
    const int result = guid ? WriteErrorLogGuid(IDS_TEST_FAIL, kGuid, flags)
                            : WriteErrorLog(IDS_TEST_FAIL, 1, flags);
    WaitForSingleObject(thread.Get(), 15000);
    return result;
}

TEST_F(ErrorLogTest, MessageBoxShowsTextWithValueAndReturnsItsResult) {
    BoxAnswerer number;
    EXPECT_EQ(ShowAndAnswer(number, false, ERRLOG_MSGBOX), IDOK);
    EXPECT_TRUE(number.found);
    EXPECT_EQ(number.text, L"fail : CreateEvent(0x1)");
    EXPECT_FALSE(LogExists()) << "the box alone writes no record";

    BoxAnswerer guid;
    EXPECT_EQ(ShowAndAnswer(guid, true, ERRLOG_MSGBOX | ERRLOG_FILE), IDOK);
    EXPECT_TRUE(guid.found);
    EXPECT_EQ(guid.text, L"fail : CreateEvent(381b4222-f694-41f0-9685-ff5bb260df2e)");
    ASSERT_TRUE(LogExists());
    const std::wstring text = Utf16Text(LogBytes(), 0);
    EXPECT_EQ(text.substr(kStampCch), L" fail : CreateEvent(381b4222-f694-41f0-9685-ff5bb260df2e)\r\n");
}

}  // namespace

// A record (message id and value, or id and GUID) reaches the file at most once a minute;
// any other id or value is written at once.
TEST_F(ErrorLogTest, SameRecordIsWrittenAtMostOnceAMinute) {
    constexpr GUID kNullGuid = {};  // a GUID record is another record than the number 0
    constexpr GUID kOther = {0x381b4222, 0xf694, 0x41f0, {0x96, 0x85, 0xff, 0x5b, 0xb2, 0x60, 0xdf, 0x2f}};
    struct Step {
        ULONGLONG atMs;  // after the test's start
        UINT id;
        ULONGLONG value;
        const GUID* guid;  // null: a numeric record
        const wchar_t* expectedBody;  // null: left out
    };
    const Step steps[] = {
        {0, IDS_TEST_FAIL, 3, nullptr, L" fail : CreateEvent(0x3)"},
        {10, IDS_TEST_FAIL, 3, nullptr, nullptr},
        {10, IDS_TEST_FAIL, 4, nullptr, L" fail : CreateEvent(0x4)"},
        {20, IDS_TEST_MISSING, 3, nullptr, L" (0x3)"},
        {30, IDS_TEST_FAIL, 0, &kGuid, L" fail : CreateEvent(381b4222-f694-41f0-9685-ff5bb260df2e)"},
        {40, IDS_TEST_FAIL, 0, &kGuid, nullptr},
        {40, IDS_TEST_FAIL, 0, &kOther, L" fail : CreateEvent(381b4222-f694-41f0-9685-ff5bb260df2f)"},
        {40, IDS_TEST_FAIL, 0, nullptr, L" fail : CreateEvent(0x0)"},
        {40, IDS_TEST_FAIL, 0, &kNullGuid, L" fail : CreateEvent(00000000-0000-0000-0000-000000000000)"},
        {59999, IDS_TEST_FAIL, 3, nullptr, nullptr},
        {60000, IDS_TEST_FAIL, 3, nullptr, L" fail : CreateEvent(0x3)"},
        {60001, IDS_TEST_FAIL, 3, nullptr, nullptr},
        {119999, IDS_TEST_FAIL, 3, nullptr, nullptr},
        {120000, IDS_TEST_FAIL, 3, nullptr, L" fail : CreateEvent(0x3)"},
        {120000, IDS_TEST_FAIL, 0, &kGuid, L" fail : CreateEvent(381b4222-f694-41f0-9685-ff5bb260df2e)"},
    };
    const ULONGLONG start = g_fakeNowMs;
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    std::vector<std::wstring> expected;
    for (const Step& step : steps) {
        g_fakeNowMs = start + step.atMs;
        if (step.guid != nullptr) {
            WriteErrorLogGuid(step.id, *step.guid, ERRLOG_FILE);
        } else {
            WriteErrorLog(step.id, step.value, ERRLOG_FILE);
        }
        if (step.expectedBody != nullptr) {
            expected.push_back(step.expectedBody);
        }
    }
    GetLocalTime(&after);
    EXPECT_EQ(Bodies(before, after), expected);
}

// A new log shows each failure again: after the file was removed, the same record within the
// minute is written into the new file.
TEST_F(ErrorLogTest, RemovedLogShowsARepeatedRecordAgain) {
    WriteErrorLog(IDS_TEST_FAIL, 7, ERRLOG_FILE);
    g_fakeNowMs += 10;
    WriteErrorLog(IDS_TEST_FAIL, 7, ERRLOG_FILE);  // a repeat in the same file: left out
    const std::wstring log = LogPath();
    SetFileAttributesW(log.c_str(), FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(DeleteFileW(log.c_str()));
    g_fakeNowMs += 10;
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    WriteErrorLog(IDS_TEST_FAIL, 7, ERRLOG_FILE);
    g_fakeNowMs += 10;
    WriteErrorLog(IDS_TEST_FAIL, 7, ERRLOG_FILE);
    GetLocalTime(&after);
    const std::vector<std::wstring> expected = {L" fail : CreateEvent(0x7)"};
    EXPECT_EQ(Bodies(before, after), expected);
}

// A record that could not be written is not a repeat: the next attempt writes it.
TEST_F(ErrorLogTest, LostRecordIsWrittenByTheNextAttempt) {
    SYSTEMTIME before, after;
    GetLocalTime(&before);
    ASSERT_EQ(WriteErrorLog(IDS_TEST_FAIL, 1, ERRLOG_FILE), 0);
    {
        UniqueFile holder(CreateFileW(LogPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        WriteErrorLog(IDS_TEST_FAIL, 2, ERRLOG_FILE);  // lost: the file is held
    }
    g_fakeNowMs += 1000;
    WriteErrorLog(IDS_TEST_FAIL, 2, ERRLOG_FILE);
    GetLocalTime(&after);
    const std::vector<std::wstring> expected = {L" fail : CreateEvent(0x1)", L" fail : CreateEvent(0x2)"};
    EXPECT_EQ(Bodies(before, after), expected);
}

// A log that would pass 1 MB becomes "error.log.old" (replacing an earlier one, keeping its
// bytes) and the record starts a new log; below the limit the record is appended.
TEST_F(ErrorLogTest, FullLogIsRotatedToOneOldFile) {
    struct Case {
        ULONGLONG existingBytes;
        bool rotated;
    };
    const Case cases[] = {{1024, false}, {kLogRotateBytes - 200, false}, {kLogRotateBytes - 20, true},
                          {kLogRotateBytes, true}, {kLogRotateBytes + 4096, true}};
    const std::wstring oldPath = LogPath() + L".old";
    ULONGLONG value = 0x100;
    for (const Case& c : cases) {
        // An earlier ".old" of other content, and a full log of 'A's.
        {
            UniqueFile old(CreateFileW(oldPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            ASSERT_TRUE(old);
            DWORD written = 0;
            ASSERT_TRUE(WriteFile(old.Get(), "old", 3, &written, nullptr));
            UniqueFile log(CreateFileW(LogPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_HIDDEN, nullptr));
            ASSERT_TRUE(log);
            const std::vector<BYTE> filler(static_cast<size_t>(c.existingBytes), 'A');
            ASSERT_TRUE(WriteFile(log.Get(), filler.data(), static_cast<DWORD>(filler.size()), &written, nullptr));
        }
        ++value;
        WriteErrorLog(IDS_TEST_FAIL, value, ERRLOG_FILE);
        wchar_t body[64];
        swprintf(body, 64, L" fail : CreateEvent(0x%llx)\r\n", value);
        std::vector<BYTE> log;
        std::vector<BYTE> old;
        ASSERT_TRUE(testutil::ReadFileBytes(LogPath(), log));
        ASSERT_TRUE(testutil::ReadFileBytes(oldPath, old));
        const std::wstring logText = Utf16Text(log, 0);
        ASSERT_GE(logText.size(), wcslen(body));
        EXPECT_EQ(logText.substr(logText.size() - wcslen(body)), body) << c.existingBytes;
        if (c.rotated) {
            EXPECT_EQ(old.size(), c.existingBytes) << "the full log became the old file";
            EXPECT_EQ(log.size(), (kStampCch + wcslen(body)) * 2) << "a new log holds only the record";
            EXPECT_NE(GetFileAttributesW(LogPath().c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
        } else {
            EXPECT_EQ(old.size(), 3u) << "the old file is untouched";
            EXPECT_EQ(log.size(), c.existingBytes + (kStampCch + wcslen(body)) * 2);
        }
    }
}
