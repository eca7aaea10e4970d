#include "app/Art.h"

#include "platform/Owners.h"
#include "data/Product.h"

#include <cmath>
#include <cstring>

namespace {

COLORREF Mix(COLORREF A, COLORREF B, int Num, int Den) {
    auto Channel = [&](int Shift) {
        int a = (A >> Shift) & 0xFF, b = (B >> Shift) & 0xFF;
        return (a + (b - a) * Num / Den) << Shift;
    };
    return static_cast<COLORREF>(Channel(0) | Channel(8) | Channel(16));
}

void FillGradient(HDC Dc, int Width, int Height) {
    const COLORREF Top = Product.Picture.Top, Bottom = Product.Picture.Bottom;
    for (int y = 0; y < Height; ++y) {
        const TGdiObject<HBRUSH> Brush(
            CreateSolidBrush(Mix(Top, Bottom, y, Height > 1 ? Height - 1 : 1)));
        RECT Row{0, y, Width, y + 1};
        FillRect(Dc, &Row, Brush.get());
    }
}

// An instrument dial: the kind of control the product is about.
void DrawDial(HDC Dc, int Cx, int Cy, int R) {
    // Freed on the way out, after the old pen and brush are selected back.
    const TGdiObject<HPEN> Rim(CreatePen(PS_SOLID, (R / 14) + 1, RGB(230, 240, 245)));
    const TGdiObject<HPEN> Tick(CreatePen(PS_SOLID, 2, RGB(200, 225, 235)));
    const TGdiObject<HPEN> Needle(CreatePen(PS_SOLID, (R / 18) + 2, Product.Picture.Accent));
    const TGdiObject<HBRUSH> Hub(CreateSolidBrush(Product.Picture.Accent));
    HGDIOBJ OldPen = SelectObject(Dc, Rim.get());
    HGDIOBJ OldBrush = SelectObject(Dc, GetStockObject(NULL_BRUSH));
    Ellipse(Dc, Cx - R, Cy - R, Cx + R, Cy + R);

    SelectObject(Dc, Tick.get());
    const double Pi = 3.14159265358979;
    for (int i = 0; i <= 10; ++i) {
        double A = Pi * (1.25 - 1.5 * i / 10.0);
        int Inner = (i % 5 == 0) ? R * 70 / 100 : R * 80 / 100;
        MoveToEx(Dc, Cx + static_cast<int>(Inner * std::cos(A)),
                 Cy - static_cast<int>(Inner * std::sin(A)), nullptr);
        LineTo(Dc, Cx + static_cast<int>(R * 90 / 100 * std::cos(A)),
               Cy - static_cast<int>(R * 90 / 100 * std::sin(A)));
    }

    SelectObject(Dc, Needle.get());
    double A = Pi * 0.42;
    MoveToEx(Dc, Cx, Cy, nullptr);
    LineTo(Dc, Cx + static_cast<int>(R * 75 / 100 * std::cos(A)),
           Cy - static_cast<int>(R * 75 / 100 * std::sin(A)));

    SelectObject(Dc, Hub.get());
    SelectObject(Dc, GetStockObject(NULL_PEN));
    int h = R / 9 + 2;
    Ellipse(Dc, Cx - h, Cy - h, Cx + h, Cy + h);

    SelectObject(Dc, OldPen);
    SelectObject(Dc, OldBrush);
}

void DrawName(HDC Dc, int Width, int Height) {
    LOGFONTA Lf{};
    Lf.lfHeight = -(Width / 7);
    Lf.lfWeight = FW_BOLD;
    Lf.lfQuality = ANTIALIASED_QUALITY;
    std::memcpy(Lf.lfFaceName, "Tahoma", sizeof "Tahoma");
    const TGdiObject<HFONT> Big(CreateFontIndirectA(&Lf));
    Lf.lfHeight = -(Width / 11);
    Lf.lfWeight = FW_NORMAL;
    const TGdiObject<HFONT> Small(CreateFontIndirectA(&Lf));

    SetBkMode(Dc, TRANSPARENT);
    SetTextColor(Dc, RGB(255, 255, 255));
    HGDIOBJ Old = SelectObject(Dc, Big.get());
    RECT R1{0, Height * 62 / 100, Width, Height * 75 / 100};
    DrawTextA(Dc, Product.Picture.NameLine1, -1, &R1, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(Dc, Small.get());
    SetTextColor(Dc, RGB(200, 225, 235));
    RECT R2{0, Height * 73 / 100, Width, Height * 82 / 100};
    DrawTextA(Dc, Product.Picture.NameLine2, -1, &R2, DT_CENTER | DT_SINGLELINE | DT_VCENTER);
    SelectObject(Dc, Old);
}

} // namespace

HBITMAP CreateSideArt(int Width, int Height) {
    TMemoryDc Dc;
    TGdiObject<HBITMAP> Bitmap;
    {
        const TWindowDc Screen(GetDC(nullptr));
        Dc.reset(CreateCompatibleDC(Screen.get()));
        Bitmap.reset(CreateCompatibleBitmap(Screen.get(), Width, Height));
    }
    if (!Bitmap) return nullptr;
    HGDIOBJ Old = SelectObject(Dc.get(), Bitmap.get());
    FillGradient(Dc.get(), Width, Height);
    DrawDial(Dc.get(), Width / 2, Height * 36 / 100, Width * 36 / 100);
    DrawName(Dc.get(), Width, Height);
    SelectObject(Dc.get(), Old);
    return Bitmap.release();
}
