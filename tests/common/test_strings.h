// String-table ids of the test executable (common_tests.rc).
#pragma once

#define IDS_TEST_FAIL 9001
#define IDS_TEST_LONG 9002      // 280 characters: "0123456789" 28 times
#define IDS_TEST_JAPANESE 9003
#define IDS_TEST_MISSING 9099   // no text
