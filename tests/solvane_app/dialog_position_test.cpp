// Where the settings windows open: against the dialog position, inside the work area.
#include <gtest/gtest.h>

#include "app/ui_state.h"

namespace {

struct PlaceCase {
    const char* name;
    POINT corner;
    LONG width;
    LONG height;
    POINT expected;
};

TEST(DialogPosition, LowerRightCornerAtThePositionMovedIntoTheWorkArea) {
    const RECT work = {0, 0, 1366, 728};
    const PlaceCase cases[] = {
        {"work-area corner", {1366, 728}, 400, 300, {966, 428}},
        {"cursor in the middle", {700, 500}, 400, 300, {300, 200}},
        {"cursor near the top left", {100, 50}, 400, 300, {0, 0}},
        {"cursor below the work area (taskbar)", {1000, 760}, 400, 300, {600, 428}},
        {"window larger than the work area", {1366, 728}, 1500, 800, {0, 0}},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const RECT frame = {10, 20, 10 + c.width, 20 + c.height};
        const POINT topLeft = ui::PlaceAgainstCornerIn(frame, c.corner, work);
        EXPECT_EQ(topLeft.x, c.expected.x);
        EXPECT_EQ(topLeft.y, c.expected.y);
    }
}

TEST(DialogPosition, WorkAreaWithAnOffsetOrigin) {
    const RECT work = {1366, 40, 2646, 1024};  // a second monitor, taskbar on top
    const RECT frame = {0, 0, 300, 200};
    POINT topLeft = ui::PlaceAgainstCornerIn(frame, POINT{1400, 100}, work);
    EXPECT_EQ(topLeft.x, 1366);
    EXPECT_EQ(topLeft.y, 40);
    topLeft = ui::PlaceAgainstCornerIn(frame, POINT{2646, 1024}, work);
    EXPECT_EQ(topLeft.x, 2346);
    EXPECT_EQ(topLeft.y, 824);
}

}  // namespace
