// CIniCtl: private-profile (INI) files through GetPrivateProfileStringW/IntW and
// WritePrivateProfileStringW, bound to one file name. Used by the settings file of the main
// program and by the installer helper's plan definition file.
#pragma once

#include <windows.h>

#include <cstddef>

class CIniCtl {
public:
    // Largest count a file may give for a list of numbered entries; anything above is cut.
    static constexpr int kMaxListCount = 256;
    // SetKeyData kinds.
    static constexpr int kKindNumber = 0;
    static constexpr int kKindString = 1;

    CIniCtl() noexcept;
    // Binds the file at once (Initialize); IsInitialised tells whether that worked.
    explicit CIniCtl(const wchar_t* lpszFileName) noexcept;
    virtual ~CIniCtl();
    CIniCtl(const CIniCtl&) = delete;
    CIniCtl& operator=(const CIniCtl&) = delete;

    // Binds the file name (a copy; the file need not exist). 87 for a null or empty name,
    // 8 when the copy cannot be made, else 0.
    DWORD Initialize(const wchar_t* lpszFileName) noexcept;
    void Finalize() noexcept;
    bool IsInitialised() const noexcept { return m_initialised != FALSE; }
    const wchar_t* FileName() const noexcept { return m_fileName; }

    // *lpdwValue = GetPrivateProfileIntW(...). 21 when not initialised, 87 for a null argument.
    DWORD GetKeyInt(const wchar_t* lpszSection, const wchar_t* lpszKey, DWORD* lpdwValue,
                    INT nDefault) const noexcept;
    // Reads a text of at most size - 1 characters. 0 when the API returns a nonzero length other
    // than size - 2; otherwise its last error (2 for a missing key, 0 meaning success).
    DWORD GetKeyString(const wchar_t* lpszSection, const wchar_t* lpszKey, wchar_t* lpszString,
                       DWORD size, const wchar_t* lpszDefault) const noexcept;
    // Writes dwValue as "%u" (kind 0) or lpszValue (kind 1). 21 not initialised, 87 null
    // argument or unknown kind, 13 empty section or key or a key containing "=".
    DWORD SetKeyData(const wchar_t* lpszSection, const wchar_t* lpszKey, DWORD dwValue,
                     const wchar_t* lpszValue, int kind) noexcept;
    DWORD SetKeyInt(const wchar_t* lpszSection, const wchar_t* lpszKey, DWORD dwValue) noexcept;
    DWORD SetKeyString(const wchar_t* lpszSection, const wchar_t* lpszKey,
                       const wchar_t* lpszValue) noexcept;

    // Reader helpers. ReadString returns the number of characters copied (the text is cut to
    // the buffer, always terminated); a missing key copies the default (null counts as empty).
    DWORD ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText,
                     wchar_t* buffer, size_t cchBuffer) const noexcept;
    UINT ReadInt(const wchar_t* section, const wchar_t* key, INT defaultValue) const noexcept;
    // True when the key exists in the section with a non-empty value.
    bool HasValue(const wchar_t* section, const wchar_t* key) const noexcept;
    // A count of list entries: decimal text, optional sign; a missing key, text that is not a
    // number or a negative number gives 0, a number above maxCount gives maxCount.
    int ReadCount(const wchar_t* section, const wchar_t* key,
                  int maxCount = kMaxListCount) const noexcept;
    static int ParseBoundedCount(const wchar_t* text, int maxCount) noexcept;

private:
    wchar_t* m_fileName;
    BOOL m_initialised;
};
