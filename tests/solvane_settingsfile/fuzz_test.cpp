// Ten thousand damaged settings files in one process: none crashes the import, every file the
// check refuses leaves the registry exactly as it was, and the import agrees with the check.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "settings_file_support.h"
#include "settingsfile/settings_file.h"

namespace {

using namespace sftest;

constexpr int kFiles = 10000;
constexpr unsigned kSeed = 20261207;

std::string Narrow(const wchar_t* w) { return std::string(w, w + wcslen(w)); }

class ImportFuzz : public SettingsFileTest {
protected:
    void SetUp() override {
        SettingsFileTest::SetUp();
        Seed();
        m_baseline = DumpOrvel();
    }
    // The machine's values before each file; also puts back what an accepted file changed.
    void Seed() {
        AddPlan(kPlanA, 2);
        AddPlan(kPlanB, 0);
        AddPlan(kPlanC, 1);
        ASSERT_EQ(SetBinary(kEfEnv, L"UseDate", Record(0x99)), ERROR_SUCCESS);
        ASSERT_EQ(SetBinary(kEfEnv, L"Lv1Time", Record(0x98)), ERROR_SUCCESS);
        ASSERT_EQ(SetBinary(kEfEnv, L"Lv2Time", Record(0x97)), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kEfEnv, L"SelectMode", 5), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kEfEnv, L"Threshold", 81), ERROR_SUCCESS);
        ASSERT_EQ(SetDword(kMorrow, L"SelectedCompany", 4), ERROR_SUCCESS);
    }
    std::wstring m_baseline;
};

class Mutator {
public:
    explicit Mutator(unsigned seed) : m_rng(seed) {
        const std::string hex = Hex(Record(0x42));
        m_words = {"",
                   "0",
                   "7",
                   "8",
                   "10",
                   "11",
                   "79",
                   "80",
                   "99",
                   "100",
                   "-1",
                   "4294967296",
                   "99999999999999999999",
                   "0x10",
                   " 5 ",
                   "\"85\"",
                   "CON",
                   "..\\..\\x",
                   "\\",
                   "..",
                   "%s%s%n",
                   std::string(300, 'A'),
                   std::string("{").append(Narrow(kPlanA)).append("}"),
                   Narrow(kPlanA),
                   Narrow(kPlanB),
                   Narrow(kPlanC),
                   "A1B2C3D4-0003-4000-8000-00000000000C",
                   "a1b2c3d4-0009-4000-8000-00000000000f",
                   hex,
                   Hex(Record(0x42), true),
                   hex.substr(1),
                   hex + "0",
                   std::to_string(MajorVersion()),
                   std::to_string(MajorVersion() + 1)};
        m_keys = {"Version", "LedNo1", "LedNo2", "LedNo3", "UseDate", "Lv1Time", "Lv2Time",
                  "SelectMode", "Threshold", "SelectedCompany"};
        m_sections = {"[OS]", "[Solvane]", "[EFEnv]", "[Morrow]", "[]", "[os]", "["};
    }

    std::string Mutate(std::string text) {
        const int count = 1 + static_cast<int>(m_rng() % 4);
        for (int i = 0; i < count; ++i) {
            text = MutateOnce(std::move(text));
        }
        return text;
    }

private:
    size_t Pick(size_t n) { return n == 0 ? 0 : m_rng() % n; }

    std::vector<std::string> Lines(const std::string& text) {
        std::vector<std::string> lines;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end + 1;
            lines.push_back(text.substr(start, end - start));
            start = end;
        }
        return lines;
    }
    static std::string Join(const std::vector<std::string>& lines) {
        std::string text;
        for (const std::string& line : lines) {
            text += line;
        }
        return text;
    }

    std::string MutateOnce(std::string text) {
        std::vector<std::string> lines = Lines(text);
        switch (m_rng() % 9) {
        case 0:  // a random byte
            if (!text.empty()) {
                text[Pick(text.size())] = static_cast<char>(m_rng());
            }
            return text;
        case 1:  // a line removed
            if (!lines.empty()) {
                lines.erase(lines.begin() + static_cast<long>(Pick(lines.size())));
            }
            return Join(lines);
        case 2:  // a line repeated elsewhere
            if (!lines.empty()) {
                lines.insert(lines.begin() + static_cast<long>(Pick(lines.size() + 1)), lines[Pick(lines.size())]);
            }
            return Join(lines);
        case 3:  // a key given another value
        case 4: {
            const std::string& key = m_keys[Pick(m_keys.size())];
            size_t at = text.find(key + "=");
            if (at != std::string::npos) {
                size_t end = text.find('\r', at);
                text.replace(at, (end == std::string::npos ? text.size() : end) - at, key + "=" + m_words[Pick(m_words.size())]);
            }
            return text;
        }
        case 5:  // cut short
            return text.substr(0, Pick(text.size() + 1));
        case 6: {  // a few random bytes inserted
            std::string noise;
            for (size_t n = 1 + Pick(8); n > 0; --n) {
                noise.push_back(static_cast<char>(m_rng()));
            }
            text.insert(Pick(text.size() + 1), noise);
            return text;
        }
        case 7:  // two lines swapped
            if (lines.size() > 1) {
                std::swap(lines[Pick(lines.size())], lines[Pick(lines.size())]);
            }
            return Join(lines);
        default:  // a section header replaced
            if (!lines.empty()) {
                lines[Pick(lines.size())] = m_sections[Pick(m_sections.size())] + "\r\n";
            }
            return Join(lines);
        }
    }

    std::mt19937 m_rng;
    std::vector<std::string> m_words;
    std::vector<std::string> m_keys;
    std::vector<std::string> m_sections;
};

TEST_F(ImportFuzz, DamagedFilesNeverCrashAndRefusedOnesChangeNothing) {
    Mutator mutator(kSeed);
    const std::string valid = ValidFileText();
    int refused = 0;
    int accepted = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string text = mutator.Mutate(valid);
        // A new name for every file: the private-profile functions may cache what they read.
        const std::wstring file = File((L"f" + std::to_wstring(i) + L".ECOSettings").c_str());
        WriteFileBytes(file, text);
        const DWORD check = ValidateSettingsFile(file.c_str());
        s_messages.clear();
        const DWORD result = ImportSettings(file.c_str());
        DeleteFileW(file.c_str());
        if (check != 0) {
            ++refused;
            ASSERT_TRUE(check == 102 || check == 103) << "file " << i << ": " << check;
            ASSERT_NE(result, 0u) << "file " << i << " was refused by the check but imported";
            ASSERT_EQ(s_messages, std::vector<UINT>{3003}) << "file " << i;
            ASSERT_EQ(DumpOrvel(), m_baseline) << "file " << i << " changed the registry:\n" << text;
        } else {
            ++accepted;
            ASSERT_EQ(result, 0u) << "file " << i << " passed the check but failed:\n" << text;
            ASSERT_TRUE(s_messages.empty()) << "file " << i;
            Seed();
            ASSERT_EQ(DumpOrvel(), m_baseline);
        }
    }
    // The mutations must exercise both outcomes, or the run proves little.
    EXPECT_GT(refused, kFiles / 4);
    EXPECT_GT(accepted, kFiles / 20);
    std::printf("%d files refused, %d imported\n", refused, accepted);
}

}  // namespace
