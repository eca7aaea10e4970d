#pragma once
// Where a window goes to stand in the middle of the screen. Kept apart from
// the dialog so the arithmetic can be checked without a screen.

struct TWindowOrigin {
    int Left;
    int Top;
    bool operator==(const TWindowOrigin&) const = default;
};

// Integer division truncates toward zero: a window larger than the screen
// gets a negative offset of half the excess and is not clamped.
constexpr TWindowOrigin CentredOrigin(int ScreenWidth, int ScreenHeight, int Width, int Height) {
    return {(ScreenWidth - Width) / 2, (ScreenHeight - Height) / 2};
}
