// How a window finds the object behind it. The object's address goes to CreateWindowEx as its creation
// parameter; it is kept with the window at WM_NCCREATE and forgotten at WM_NCDESTROY, and every message in
// between goes to the object's HandleMessage. Messages a window gets before WM_NCCREATE go to DefWindowProc.
#pragma once
#include <windows.h>

namespace korven {

template <class T>
T* WindowObject(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

// The window procedure of a class whose windows are made for objects of type T, which has
// LRESULT HandleMessage(HWND, UINT, WPARAM, LPARAM).
template <class T>
LRESULT CALLBACK ForwardToObject(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* object = static_cast<T*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    }
    T* object = WindowObject<T>(hwnd);
    if (!object) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    return object->HandleMessage(hwnd, message, wParam, lParam);
}

}  // namespace korven
