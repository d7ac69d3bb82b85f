// CIniCtl: a small reader of private-profile (INI) files over GetPrivateProfileStringW/IntW.
#pragma once

#include <windows.h>

#include <cstddef>

class CIniCtl {
public:
    // Largest count a file may give for a list of numbered entries; anything above is cut.
    static constexpr int kMaxListCount = 256;

    explicit CIniCtl(const wchar_t* filePath) noexcept;
    CIniCtl(const CIniCtl&) = delete;
    CIniCtl& operator=(const CIniCtl&) = delete;

    // True when the path fitted into the reader (a longer one makes every read fail).
    bool IsValid() const noexcept { return m_path[0] != L'\0'; }
    const wchar_t* Path() const noexcept { return m_path; }

    // Reads a text value; a missing key leaves the default (null counts as empty).
    // Returns the number of characters copied (the text is cut to fit the buffer).
    DWORD ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText,
                     wchar_t* buffer, size_t cchBuffer) const noexcept;
    // Reads an integer as GetPrivateProfileIntW does.
    UINT ReadInt(const wchar_t* section, const wchar_t* key, INT defaultValue) const noexcept;
    // True when the key exists in the section with a non-empty value.
    bool HasValue(const wchar_t* section, const wchar_t* key) const noexcept;
    // Reads a count of list entries: decimal text, optional sign; a missing key, text that is
    // not a number or a negative number gives 0, a number above maxCount gives maxCount.
    int ReadCount(const wchar_t* section, const wchar_t* key,
                  int maxCount = kMaxListCount) const noexcept;

    // The number parsing ReadCount uses, for callers that hold the text already.
    static int ParseBoundedCount(const wchar_t* text, int maxCount) noexcept;

private:
    wchar_t m_path[MAX_PATH + 1];
};
