// Window geometry as designed (twips, 1/1440 inch, from the client area's top-left) and fonts as
// designed (face, size in points, Hangul character set), turned into pixels and GDI fonts at the
// display's resolution. Every twips-to-pixels conversion of the program goes through here.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "win32/handles.h"

namespace dravelin::win {

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kHundredthsOfPointPerInch = 7200;

struct TwipPoint {
  int left;
  int top;
};

struct TwipSize {
  int width;
  int height;
};

struct TwipRect {
  TwipPoint origin;
  TwipSize size;
};

// Pixels per logical inch of the display (96 unless the user chose larger text).
int DisplayDpi();

// px = twips x dpi / 1440, rounded to the nearest pixel.
int TwipsToPixels(int twips, int dpi);
POINT ToPixels(TwipPoint point, int dpi);
SIZE ToPixels(TwipSize size, int dpi);
RECT ToPixels(const TwipRect& rect, int dpi);

struct WindowFrame {
  DWORD style;
  DWORD exStyle;
};

// The screen rectangle of a top-level window with `frame` whose client area has the size
// `client`: either with the client area's top-left at `clientOrigin` (screen coordinates) or,
// without one, with the whole window centred on the screen.
RECT WindowRectForClient(TwipSize client, std::optional<TwipPoint> clientOrigin,
                         const WindowFrame& frame, int dpi);

// Creates a child control at a pixel rectangle of its parent's client area. The control belongs
// to its parent, which destroys it.
HWND CreateControl(HWND parent, HINSTANCE instance, const wchar_t* className,
                   std::wstring_view text, DWORD style, const RECT& pixels, int id);

enum class Pitch { Fixed, Variable };

struct FontSpec {
  std::wstring_view face;
  int hundredthsOfPoint;  // 975 for 9.75 pt
  int weight;             // FW_NORMAL = 400
  BYTE charset;           // HANGUL_CHARSET = 129
  Pitch pitch;            // used to choose a stand-in when the face is not installed

  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

// True when a face of this name is installed with this character set.
bool FaceInstalled(std::wstring_view face, BYTE charset);

// The face that CreateFontFor uses for `wanted`: the designed face when installed, otherwise an
// installed face of the same character set that really draws its script (preferring the same
// pitch and sans serif). Empty when no installed face does.
std::wstring ResolveFace(const FontSpec& wanted);

// The designed font at the display's resolution, with the face that ResolveFace picks.
UniqueFont CreateFontFor(const FontSpec& wanted, int dpi);

}  // namespace dravelin::win
