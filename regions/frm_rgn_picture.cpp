#include "regions/frm_rgn_picture.h"

#include <array>
#include <memory>

#include "core/app_state.h"
#include "core/dpi.h"
#include "core/layout.h"
#include "core/window_base.h"
#include "core/window_class.h"

namespace korven {

namespace {

struct PictureBox {
    Target target;
    UniqueBitmap picture;
};

struct RgnPictureForm {
    HWND hwnd = nullptr;
    std::array<PictureBox, RgnPictureCount> boxes;
};

std::unique_ptr<RgnPictureForm> form;

constexpr wchar_t FormClass[] = L"frm_RGN_Picture";
constexpr wchar_t BoxClass[] = L"frm_RGN_Picture.pPicture";

// Left, top, width, height in twips, the unit every form of the map is laid out in.
constexpr RECT Placement[RgnPictureCount] = {{120, 0, 615, 495}, {720, 360, 615, 495}};

void RegisterClasses() {
    RegisterWindowClass(FormClass, DefWindowProcW);
    RegisterWindowClass(BoxClass, ForwardToObject<Target>);
}

RgnPictureForm* Load() {
    if (form) return form.get();
    HINSTANCE instance = ModuleInstance();
    RegisterClasses();
    auto f = std::make_unique<RgnPictureForm>();
    f->hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, FormClass, L"frm_RGN_Picture", WS_POPUP, 0, 0,
                              ScreenPixels(1500), ScreenPixels(1000), nullptr, nullptr, instance, nullptr);
    for (int i = 0; i < RgnPictureCount; ++i) {
        const RECT& p = Placement[i];
        PictureBox& box = f->boxes[static_cast<size_t>(i)];
        box.target.backColor = GetSysColor(COLOR_BTNFACE);
        box.target.hwnd = CreateWindowExW(0, BoxClass, nullptr, WS_CHILD | WS_VISIBLE, ScreenPixels(p.left),
                                          ScreenPixels(p.top), ScreenPixels(p.right), ScreenPixels(p.bottom),
                                          f->hwnd, nullptr, instance, &box.target);
    }
    form = std::move(f);
    return form.get();
}

}  // namespace

HWND RgnPictureWindow() { return Load()->hwnd; }

bool RgnPictureLoaded() { return form != nullptr; }

Target* pPicture(int index) {
    if (index < 0 || index >= RgnPictureCount) return nullptr;
    return &Load()->boxes[static_cast<size_t>(index)].target;
}

HBITMAP RgnPictureImage(int index) {
    RgnPictureForm* f = Load();
    if (index < 0 || index >= RgnPictureCount) return nullptr;
    return f->boxes[static_cast<size_t>(index)].picture.get();
}

bool SetRgnPictureImage(int index, UniqueBitmap picture) {
    if (index < 0 || index >= RgnPictureCount) return false;
    Load()->boxes[static_cast<size_t>(index)].picture = std::move(picture);
    return true;
}

void UnloadRgnPicture() {
    if (!form) return;
    std::unique_ptr<RgnPictureForm> f = std::move(form);
    if (f->hwnd) DestroyWindow(f->hwnd);  // the boxes go with it
}

}  // namespace korven
