#include "core/dialog_kit.h"

#include <cmath>
#include <cwchar>

namespace korven {

UniqueFont MakeFont(const wchar_t* face, double points, int weight, BYTE charset) {
    WindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    LOGFONTW lf{};
    lf.lfHeight = -static_cast<LONG>(std::lround(points * dpi / 72.0));
    lf.lfWeight = weight;
    lf.lfCharSet = charset;
    lf.lfQuality = DEFAULT_QUALITY;
    // The mapper substitutes a near face where this one is missing; the request names it all the same.
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return UniqueFont(CreateFontIndirectW(&lf));
}

UniqueFont MakeMessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return UniqueFont(CreateFontIndirectW(&metrics.lfMessageFont));
    return MakeFont(L"MS UI Gothic", 9, FW_NORMAL, SHIFTJIS_CHARSET);
}

}  // namespace korven
