#include "common/registry.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

using common::UniqueRegKey;

constexpr const wchar_t* kTestKey = L"Software\\Orvel\\SolvaneTest\\Registry";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        common::DeleteRegTree(HKEY_CURRENT_USER, kTestKey);
        ASSERT_EQ(common::CreateRegKey(HKEY_CURRENT_USER, kTestKey, KEY_READ | KEY_WRITE, m_key),
                  ERROR_SUCCESS);
    }
    void TearDown() override {
        m_key.Reset();
        EXPECT_EQ(common::DeleteRegTree(HKEY_CURRENT_USER, kTestKey), ERROR_SUCCESS);
        testutil::RemoveKeyIfEmpty(HKEY_CURRENT_USER, L"Software\\Orvel\\SolvaneTest");
        testutil::RemoveKeyIfEmpty(HKEY_CURRENT_USER, L"Software\\Orvel");
        UniqueRegKey gone;
        EXPECT_EQ(common::OpenRegKey(HKEY_CURRENT_USER, kTestKey, KEY_READ, gone), ERROR_FILE_NOT_FOUND);
    }
    void SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD cb) {
        ASSERT_EQ(RegSetValueExW(m_key.Get(), name, 0, type, static_cast<const BYTE*>(data), cb),
                  ERROR_SUCCESS);
    }
    UniqueRegKey m_key;
};

TEST_F(RegistryTest, OpenMissingKeyFailsAndLeavesHolderEmpty) {
    UniqueRegKey key;
    EXPECT_EQ(common::OpenRegKey(HKEY_CURRENT_USER, L"Software\\Orvel\\SolvaneTest\\Registry\\None",
                                 KEY_READ, key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(key.Valid());
    EXPECT_EQ(common::OpenRegKey(HKEY_CURRENT_USER, kTestKey, KEY_READ, key), ERROR_SUCCESS);
    EXPECT_TRUE(key.Valid());
}

TEST_F(RegistryTest, DwordRoundTripTypeAndSizeChecks) {
    ASSERT_EQ(common::WriteRegDword(m_key.Get(), L"Value", 0x12345678u), ERROR_SUCCESS);
    DWORD value = 0;
    EXPECT_EQ(common::QueryRegDword(m_key.Get(), L"Value", &value), ERROR_SUCCESS);
    EXPECT_EQ(value, 0x12345678u);
    EXPECT_EQ(common::ReadRegDword(m_key.Get(), L"Value", 7), 0x12345678u);

    EXPECT_EQ(common::ReadRegDword(m_key.Get(), L"Missing", 7), 7u);
    value = 99;
    EXPECT_EQ(common::QueryRegDword(m_key.Get(), L"Missing", &value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, 99u);

    const wchar_t text[] = L"12";
    SetRaw(L"Text", REG_SZ, text, sizeof(text));
    EXPECT_EQ(common::QueryRegDword(m_key.Get(), L"Text", &value), ERROR_MORE_DATA) << "six bytes";
    EXPECT_EQ(common::ReadRegDword(m_key.Get(), L"Text", 5), 5u);

    const BYTE four[4] = {1, 0, 0, 0};
    SetRaw(L"Bin4", REG_BINARY, four, sizeof(four));
    EXPECT_EQ(common::ReadRegDword(m_key.Get(), L"Bin4", 5), 5u) << "REG_BINARY is not a DWORD";

    const BYTE two[2] = {1, 0};
    SetRaw(L"Short", REG_DWORD, two, sizeof(two));
    EXPECT_EQ(common::ReadRegDword(m_key.Get(), L"Short", 5), 5u) << "a 2-byte REG_DWORD is bad";
    const ULONGLONG eight = 3;
    SetRaw(L"Long", REG_DWORD, &eight, sizeof(eight));
    EXPECT_EQ(common::ReadRegDword(m_key.Get(), L"Long", 5), 5u) << "an 8-byte REG_DWORD is bad";

    // The reasons callers record in the error log: another type or a short value is invalid
    // data, a value longer than four bytes (of any type) is more data.
    const wchar_t one[] = L"1";
    SetRaw(L"Text4", REG_SZ, one, sizeof(one));
    struct Case {
        const wchar_t* name;
        LSTATUS expected;
    };
    const Case reasons[] = {
        {L"Text", ERROR_MORE_DATA},
        {L"Text4", ERROR_INVALID_DATA},
        {L"Bin4", ERROR_INVALID_DATA},
        {L"Short", ERROR_INVALID_DATA},
        {L"Long", ERROR_MORE_DATA},
        {L"Missing", ERROR_FILE_NOT_FOUND},
    };
    for (const Case& c : reasons) {
        value = 99;
        EXPECT_EQ(common::QueryRegDword(m_key.Get(), c.name, &value), c.expected) << c.name;
        EXPECT_EQ(value, 99u) << c.name;
    }
}

TEST_F(RegistryTest, StringRoundTripFitsExactlyOrFailsUntouched) {
    ASSERT_EQ(common::WriteRegString(m_key.Get(), L"Name", L"abcd"), ERROR_SUCCESS);
    wchar_t buffer[5] = L"zzzz";
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"Name", buffer, 5), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, L"abcd");

    wchar_t small[4] = L"xyz";
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"Name", small, 4), ERROR_MORE_DATA);
    EXPECT_STREQ(small, L"xyz") << "a failed read must leave the buffer alone";

    // Stored without its terminator: still read, and terminated.
    const wchar_t raw[3] = {L'a', L'b', L'c'};
    SetRaw(L"NoNul", REG_SZ, raw, sizeof(raw));
    wchar_t four[4] = L"___";
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"NoNul", four, 4), ERROR_SUCCESS);
    EXPECT_STREQ(four, L"abc");
    wchar_t three[3] = L"__";
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"NoNul", three, 3), ERROR_MORE_DATA);
    EXPECT_STREQ(three, L"__");

    const wchar_t expand[] = L"%TEMP%";
    SetRaw(L"Expand", REG_EXPAND_SZ, expand, sizeof(expand));
    wchar_t out[32] = L"keep";
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"Expand", out, 32), ERROR_INVALID_DATA);
    EXPECT_STREQ(out, L"keep");
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"Expand", out, 32, common::RegText::Expandable), ERROR_SUCCESS);
    EXPECT_STREQ(out, L"%TEMP%") << "taken as stored";
    const DWORD number = 7;
    SetRaw(L"Number", REG_DWORD, &number, sizeof(number));
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"Number", out, 32, common::RegText::Expandable),
              ERROR_INVALID_DATA);
    EXPECT_STREQ(out, L"%TEMP%");
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"Missing", out, 32), ERROR_FILE_NOT_FOUND);

    ASSERT_EQ(common::WriteRegString(m_key.Get(), L"Empty", L""), ERROR_SUCCESS);
    EXPECT_EQ(common::ReadRegString(m_key.Get(), L"Empty", out, 32), ERROR_SUCCESS);
    EXPECT_STREQ(out, L"");
}

TEST_F(RegistryTest, BinaryRoundTripNeedsExactSizeAndType) {
    const BYTE blob[6] = {0xde, 0xad, 0x00, 0xbe, 0xef, 0x01};
    ASSERT_EQ(common::WriteRegBinary(m_key.Get(), L"Blob", blob, sizeof(blob)), ERROR_SUCCESS);
    BYTE out[6] = {};
    EXPECT_EQ(common::ReadRegBinary(m_key.Get(), L"Blob", out, sizeof(out)), ERROR_SUCCESS);
    EXPECT_EQ(memcmp(out, blob, sizeof(blob)), 0);

    BYTE wrong[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(common::ReadRegBinary(m_key.Get(), L"Blob", wrong, sizeof(wrong)), ERROR_INVALID_DATA);
    EXPECT_EQ(wrong[0], 9);
    BYTE big[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    EXPECT_EQ(common::ReadRegBinary(m_key.Get(), L"Blob", big, sizeof(big)), ERROR_INVALID_DATA);
    EXPECT_EQ(big[0], 9);

    ASSERT_EQ(common::WriteRegDword(m_key.Get(), L"Dword", 1), ERROR_SUCCESS);
    BYTE four[4] = {};
    EXPECT_EQ(common::ReadRegBinary(m_key.Get(), L"Dword", four, sizeof(four)), ERROR_INVALID_DATA);

    // The stored size is reported for a record of the wrong size or type, for the error log.
    struct Case {
        const wchar_t* name;
        DWORD cbWanted;
        LSTATUS expected;
        DWORD cbStored;
    };
    const Case sizes[] = {
        {L"Blob", 6, ERROR_SUCCESS, 6},
        {L"Blob", 5, ERROR_INVALID_DATA, 6},
        {L"Blob", 8, ERROR_INVALID_DATA, 6},
        {L"Dword", 4, ERROR_INVALID_DATA, 4},
        {L"Missing", 4, ERROR_FILE_NOT_FOUND, 12345},
    };
    for (const Case& c : sizes) {
        BYTE buffer[8] = {};
        DWORD cbStored = 12345;
        EXPECT_EQ(common::ReadRegBinary(m_key.Get(), c.name, buffer, c.cbWanted, &cbStored), c.expected) << c.name;
        EXPECT_EQ(cbStored, c.cbStored) << c.name << " " << c.cbWanted;
    }
}

TEST_F(RegistryTest, DeleteValueAndTree) {
    ASSERT_EQ(common::WriteRegDword(m_key.Get(), L"Gone", 1), ERROR_SUCCESS);
    EXPECT_EQ(common::DeleteRegValue(m_key.Get(), L"Gone"), ERROR_SUCCESS);
    EXPECT_EQ(common::ReadRegDword(m_key.Get(), L"Gone", 42), 42u);
    EXPECT_EQ(common::DeleteRegValue(m_key.Get(), L"Gone"), ERROR_SUCCESS) << "missing counts as deleted";

    UniqueRegKey sub;
    ASSERT_EQ(common::CreateRegKey(HKEY_CURRENT_USER, L"Software\\Orvel\\SolvaneTest\\Registry\\A\\B",
                                   KEY_WRITE, sub),
              ERROR_SUCCESS);
    ASSERT_EQ(common::WriteRegDword(sub.Get(), L"X", 1), ERROR_SUCCESS);
    sub.Reset();
    EXPECT_EQ(common::DeleteRegTree(HKEY_CURRENT_USER, L"Software\\Orvel\\SolvaneTest\\Registry\\A"),
              ERROR_SUCCESS);
    EXPECT_EQ(common::OpenRegKey(HKEY_CURRENT_USER, L"Software\\Orvel\\SolvaneTest\\Registry\\A",
                                 KEY_READ, sub),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(common::DeleteRegTree(HKEY_CURRENT_USER, L"Software\\Orvel\\SolvaneTest\\Registry\\A"),
              ERROR_SUCCESS);
    EXPECT_EQ(common::DeleteRegTree(HKEY_CURRENT_USER, L""), static_cast<LSTATUS>(ERROR_INVALID_PARAMETER));
}

}  // namespace
