// The trace log of the programs a test starts: configured under
// HKLM\Software\Orvel\Solvane\DbgLog for the test's lifetime (long lines, level 1) and read back.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace testsupport {

struct TraceLine {
    DWORD pid = 0;
    std::wstring function;
    std::wstring message;
};

class TraceFile {
public:
    TraceFile();
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    // True when this build writes trace lines at all (checked by writing one from the test).
    bool Available() const { return m_available; }
    // Messages of one process, in file order.
    std::vector<TraceLine> LinesOf(DWORD pid) const;
    // Waits until a line of the process holds the text; false after the time-out.
    bool WaitFor(DWORD pid, const std::wstring& text, DWORD timeoutMs) const;
    // Index of the first message of the process holding the text at or after `from`, or -1.
    static int Find(const std::vector<TraceLine>& lines, const std::wstring& text, int from = 0);
    // True when any of the lines was written by the named function.
    static bool AnyFrom(const std::vector<TraceLine>& lines, const std::wstring& function);

private:
    std::wstring ReadAll() const;

    std::wstring m_path;
    std::unique_ptr<ScopedRegValue> m_form;
    std::unique_ptr<ScopedRegValue> m_level;
    std::unique_ptr<ScopedRegValue> m_name;
    bool m_available = false;
};

}  // namespace testsupport
