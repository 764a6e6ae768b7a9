#pragma once
// The conversion module: picture operations on the main window's picture view.
// Each one converts the picture to a bitmap where needed, computes the result
// with the engine, writes it as a fixed work file and lets the view load it, so
// the file on disk always matches what is shown.

#include <string>

#include "engine/base/dib.h"
#include "engine/imaging/crop.h"
#include "win32/vcl/image.h"
#include "win32/vcl/metafile.h"

namespace pelindra::imaging {

// The module's own copy of the current extension, copied from the viewer
// before each command and back after it.
extern std::wstring ConvExt;
// Re-encode edited JPEG and GIF pictures quietly (no dialog).
extern bool QuietReencode;
// The border box found by the last crop-to-fit test.
extern FitBox CropFitBox;

// Work files.
std::wstring WorkFile(const std::wstring& name);  // TempFolder + "\" + name

// The view's picture as a bitmap, saved as "\Temp.bmp" and loaded again.
void ToBitmap(vcl::TImage& view);
// Sets the colour depth (1, 4, 8 or 24 bit; any other format is applied too).
void ConvertDepth(vcl::TImage& view, PixelFormat format);
void Grayscale(vcl::TImage& view);
// "Horizontal" mirrors left-right, any other text top-bottom.
void Flip(vcl::TImage& view, const std::wstring& direction);
// Asks for the angle and the border colour; false when the dialog was not confirmed.
bool Rotate(vcl::TImage& view);
void Crop(vcl::TImage& view, int width, int height, int left, int top);
// Whether the view's picture has a removable uniform border; sets CropFitBox.
bool CropFitTest(vcl::TImage& view);
// Asks for the new size; false when nothing changed.
bool Resize(vcl::TImage& view);
void ResizeBitmap(vcl::TImage& view, int width, int height);
// Redraws the view's metafile at another size into "\Temp.emf".
void ResizeMetafile(vcl::TImage& view, int width, int height);
// The same for a metafile object (its frame becomes width x height pixels).
void ResizeMetafile(vcl::TMetafile& metafile, int width, int height);

// The view's picture drawn on (or converted to) a bitmap, as the engine sees it.
Dib PictureDib(vcl::TImage& view);
// Lets the view show a bitmap, written as the work file of the picture's kind.
void ShowResult(vcl::TImage& view, const Dib& result);

}  // namespace pelindra::imaging
