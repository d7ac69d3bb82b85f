// Tarvik.dll on a simulated PC: the data service as the machine hook installed it, the regions
// its setup registered, demand changed with simctl, and the service program run for real.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/simctl_run.h"
#include "tests/tarvik/child_process.h"
#include "tests/tarvik/test_support.h"

using namespace tarvik_test;

namespace {

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(value) : std::wstring();
}

// Runs simctl with the arguments; its exit code (-1 when it could not run).
int Simctl(const std::wstring& arguments) {
    return static_cast<int>(testsupport::RunSimctlCommand(arguments).exitCode);
}

class TarvikOnTheMachine : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Environment(L"SIM_BIN").empty()) << "run on a simulated PC (sim-test.sh)";
        ASSERT_TRUE(lib.Load());
    }
    void TearDown() override {
        lib.StopEngine();
        lib.Unload();
        EndServiceProcesses();
        DeleteValue(kMorrowKey, L"SelectedCompany");
    }
    Tarvik lib;
};

TEST_F(TarvikOnTheMachine, RegionsRegisteredByTheServiceSetup) {
    RegionEntry* list = nullptr;
    ASSERT_EQ(lib.GetRegionList(&list), 6u);
    const DWORD ids[] = {0, 2, 3, 5, 6, 9};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(list[i].dwRegionId, ids[i]);
    }
    EXPECT_STREQ(list[2].pszName, L"東京電力");
    EXPECT_STREQ(list[5].pszName, L"九州電力");
    EXPECT_EQ(lib.GetSupportType(5), 26u);
    EXPECT_EQ(lib.GetSupportType(9), 25u);
}

TEST_F(TarvikOnTheMachine, DemandSetWithSimctlIsCompared) {
    ASSERT_TRUE(lib.SetSelectedRegion(3));
    ASSERT_EQ(Simctl(L"demand --region 3 --percent 95"), 0);
    DWORD exceed = 0;
    ASSERT_TRUE(lib.CompareToThreshold(90, &exceed));
    EXPECT_EQ(exceed, 1u);
    ASSERT_EQ(Simctl(L"demand --region 3 --percent 50"), 0);
    ASSERT_TRUE(lib.CompareToThreshold(90, &exceed));
    EXPECT_EQ(exceed, 0u);
    ASSERT_EQ(Simctl(L"demand --region 3 --clear"), 0);
    EXPECT_EQ(Simctl(L"demand --region 3 --percent -4"), 2);
    EXPECT_EQ(Simctl(L"demand --percent 40"), 2);

    // Region 5 measures demand only; its seeded curve peaks at 92 percent at 15:00.
    ASSERT_TRUE(lib.SetSelectedRegion(5));
    ASSERT_EQ(Simctl(L"demand --region 5 --percent 88"), 0);
    ASSERT_TRUE(lib.CompareToThreshold(88, &exceed));
    EXPECT_EQ(exceed, 1u);
    ASSERT_TRUE(lib.CompareToThreshold(89, &exceed));
    EXPECT_EQ(exceed, 0u);
    ASSERT_EQ(Simctl(L"demand --region 5 --clear"), 0);
}

TEST_F(TarvikOnTheMachine, StatusShowsTheDemandAndTheService) {
    ASSERT_EQ(Simctl(L"demand --region 6 --percent 77"), 0);
    ASSERT_TRUE(lib.StartEngine());
    // The service records itself once it runs.
    DWORD pid = 0;
    for (int i = 0; i < 200 && !(GetDword(kSimMorrowKey, L"ServicePid", pid) && pid != 0); ++i) {
        Sleep(50);
    }
    ASSERT_NE(pid, 0u);
    const testsupport::SimctlRun status = testsupport::RunSimctlCommand(L"status");
    ASSERT_EQ(status.exitCode, 0u);
    const std::string& text = status.output;
    const size_t section = text.find("[morrow]");
    ASSERT_NE(section, std::string::npos) << text;
    EXPECT_NE(text.find("service: running", section), std::string::npos) << text;
    EXPECT_NE(text.find("region 6: peak supply 28000000, demand 77%", section), std::string::npos) << text;
    EXPECT_NE(text.find("region 2: peak supply 14000000, demand curve", section), std::string::npos) << text;
    ASSERT_EQ(Simctl(L"demand --region 6 --clear"), 0);
}

TEST_F(TarvikOnTheMachine, ForecastWindowOfTheSeededCurve) {
    // Tokyo's seeded forecast: 92 and 93 percent at 14:00 and 15:00, 91 at 16:00.
    ASSERT_TRUE(lib.SetSelectedRegion(3));
    OneData window = {};
    ASSERT_TRUE(lib.GetTimeExceedThreshold(92, &window));
    EXPECT_EQ(window.start.wHour, 14);
    EXPECT_EQ(window.end.wHour, 15);
    ASSERT_TRUE(lib.GetTimeExceedThreshold(91, &window));
    EXPECT_EQ(window.start.wHour, 14);
    EXPECT_EQ(window.end.wHour, 16);
    ASSERT_EQ(Simctl(L"demand --region 3 --curve 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,99"), 0);
    ASSERT_TRUE(lib.GetTimeExceedThreshold(95, &window));
    EXPECT_EQ(window.start.wHour, 23);
    EXPECT_EQ(window.end.wHour, 0);  // the next midnight
}

TEST_F(TarvikOnTheMachine, InstalledServiceStartsOnceAndEnds) {
    ASSERT_TRUE(lib.StartEngine());
    ASSERT_TRUE(lib.StartEngine());
    EXPECT_EQ(EngineCount(), 2);
    Sleep(300);
    EXPECT_EQ(CountServiceProcesses(), 1);
    lib.StopEngine();
    EXPECT_EQ(CountServiceProcesses(), 1);
    lib.StopEngine();
    EXPECT_EQ(EngineCount(), 0);
    EXPECT_EQ(CountServiceProcesses(), 0);
}

}  // namespace

int main(int argc, char** argv) {
    const int child = tarvik_test::RunChildMode(argc, argv);
    if (child >= 0) {
        return child;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
