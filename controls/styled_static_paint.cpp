// The background of a CStyledStatic: a solid colour, or vertical bands that
// darken quadratically with their distance from the full-colour edge.
#include <cstdint>

#include "controls/styled_static.h"

namespace kg {
namespace {

constexpr COLORREF BLACK = RGB(0, 0, 0);

// Each channel v of `color` becomes v - d*d*v / divisor. 64 bits: d*d*v
// passes 2^31 on controls wider than about 2,900 pixels. The divisor is 0
// only for a centre fade narrower than 2 pixels, whose one band has d = 0
// and keeps the full colour.
COLORREF Faded(COLORREF color, std::int64_t d, std::int64_t divisor) {
    if (divisor == 0) {
        return color;
    }
    auto channel = [&](BYTE v) { return static_cast<BYTE>(v - d * d * v / divisor); };
    return RGB(channel(GetRValue(color)), channel(GetGValue(color)), channel(GetBValue(color)));
}

}  // namespace

void CStyledStatic::PaintBackground(CDC* dc) {
    RECT client;
    GetClientRect(&client);
    dc->IntersectClipRect(&client);
    switch (backgroundMode) {
    case BACKGROUND_SOLID: {
        const CBrush brush(backgroundColor);
        dc->FillRect(&client, brush);
        break;
    }
    case BACKGROUND_FADE_LEFTWARD:
    case BACKGROUND_FADE_CENTRE:
    case BACKGROUND_FADE_RIGHTWARD: PaintGradient(dc, backgroundMode, client, backgroundColor); break;
    default: break;
    }
}

void CStyledStatic::PaintGradient(CDC* dc, int mode, RECT rect, COLORREF color) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (mode == BACKGROUND_FADE_CENTRE) {
        const int half = width / 2;
        const int step = half >= 512 ? half / 256 : 1;
        const std::int64_t divisor = std::int64_t{width} * width / 4;
        int r = 0;
        for (; half - r > 0; r += step) {
            FillBand(dc, 2 * half - r, 0, step, height, Faded(color, r, divisor));
        }
        FillBand(dc, half, 0, half - r + step, height, BLACK);
        int m = 0;
        for (; m <= half; m += step) {
            FillBand(dc, m, 0, step, height, Faded(color, m, divisor));
        }
        FillBand(dc, m - step, 0, half + step - m, height, BLACK);
        return;
    }
    const int step = width >= 256 ? width / 128 : 1;
    const std::int64_t divisor = std::int64_t{width} * width;
    if (mode == BACKGROUND_FADE_RIGHTWARD) {
        int x = 0;
        for (; x < width; x += step) {
            FillBand(dc, x, 0, step, height, Faded(color, x, divisor));
        }
        FillBand(dc, x - step, 0, width - (x - step) - 1, height, BLACK);
    } else if (mode == BACKGROUND_FADE_LEFTWARD) {
        int p = width;
        for (; p > 0; p -= step) {
            FillBand(dc, p, 0, step, height, Faded(color, width - p, divisor));
        }
        FillBand(dc, 0, 0, p + step, height, BLACK);
    }
}

void CStyledStatic::FillBand(CDC* dc, int x, int y, int cx, int cy, COLORREF color) {
    const CBrush brush(color);
    const SelectGuard selected(*dc, brush.GetSafeHandle());
    dc->PatBlt(x, y, cx, cy, PATCOPY);
}

}  // namespace kg
