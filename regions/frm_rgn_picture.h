// frm_RGN_Picture: the hidden window whose picture boxes pPicture(0) and pPicture(1) hold the pictures the
// paint step of the region routines may draw. As shipped neither holds a picture.
#pragma once
#include <windows.h>

#include "regions/target.h"

namespace korven {

constexpr int RgnPictureCount = 2;  // pPicture(0), pPicture(1)

HWND RgnPictureWindow();   // creates it, hidden, on first use
bool RgnPictureLoaded();   // without creating it
// Element index of the control array, creating the window; nullptr for an index without an element.
Target* pPicture(int index);
// The picture held by element index; null when there is none or no such element. Creates the window.
HBITMAP RgnPictureImage(int index);
// Gives element index a picture (the box takes ownership); false for an index without an element.
bool SetRgnPictureImage(int index, UniqueBitmap picture);
// Shutdown: destroys the window and the pictures.
void UnloadRgnPicture();

}  // namespace korven
