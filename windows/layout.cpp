#include "layout.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "runtime_error.h"

namespace dravelin::win {

int DisplayDpi() {
  WindowDC screen(nullptr);
  if (!screen) throw RuntimeError("GetDC", static_cast<long>(::GetLastError()));
  return ::GetDeviceCaps(screen.get(), LOGPIXELSY);
}

int TwipsToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, kTwipsPerInch); }

POINT ToPixels(TwipPoint point, int dpi) {
  return {TwipsToPixels(point.left, dpi), TwipsToPixels(point.top, dpi)};
}

SIZE ToPixels(TwipSize size, int dpi) {
  return {TwipsToPixels(size.width, dpi), TwipsToPixels(size.height, dpi)};
}

RECT ToPixels(const TwipRect& rect, int dpi) {
  // Origin and size are converted separately, so that equal designed sizes stay equal in pixels
  // wherever the control sits.
  const POINT origin = ToPixels(rect.origin, dpi);
  const SIZE size = ToPixels(rect.size, dpi);
  return {origin.x, origin.y, origin.x + size.cx, origin.y + size.cy};
}

RECT WindowRectForClient(TwipSize client, std::optional<TwipPoint> clientOrigin,
                         const WindowFrame& frame, int dpi) {
  const SIZE clientPixels = ToPixels(client, dpi);
  RECT rect{0, 0, clientPixels.cx, clientPixels.cy};
  // Windows without a menu bar: the frame and caption are all that surround the client area.
  if (!::AdjustWindowRectEx(&rect, frame.style, FALSE, frame.exStyle))
    throw RuntimeError("AdjustWindowRectEx", static_cast<long>(::GetLastError()));
  if (clientOrigin) {
    const POINT origin = ToPixels(*clientOrigin, dpi);
    ::OffsetRect(&rect, origin.x, origin.y);
    return rect;
  }
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int left = (::GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (::GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  return {left, top, left + width, top + height};
}

HWND CreateControl(HWND parent, HINSTANCE instance, const wchar_t* className,
                   std::wstring_view text, DWORD style, const RECT& pixels, int id) {
  const std::wstring caption(text);
  HWND control = ::CreateWindowExW(0, className, caption.c_str(), WS_CHILD | style, pixels.left,
                                   pixels.top, pixels.right - pixels.left,
                                   pixels.bottom - pixels.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance,
                                   nullptr);
  if (!control) throw RuntimeError("CreateWindowExW", static_cast<long>(::GetLastError()));
  return control;
}

namespace {

LOGFONTW FaceQuery(std::wstring_view face, BYTE charset) {
  LOGFONTW query{};
  query.lfCharSet = charset;
  const size_t length = std::min(face.size(), static_cast<size_t>(LF_FACESIZE - 1));
  std::copy_n(face.data(), length, query.lfFaceName);
  return query;
}

struct InstalledFace {
  std::wstring name;
  bool fixedPitch;
  bool trueType;
};

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType,
                         LPARAM faces) {
  const std::wstring name = font->lfFaceName;
  // '@' faces are the same fonts turned for vertical writing.
  if (name.empty() || name.front() == L'@') return 1;
  // The TMPF_FIXED_PITCH bit is set for variable-pitch fonts (its name says the opposite).
  const bool fixedPitch = (metrics->tmPitchAndFamily & TMPF_FIXED_PITCH) == 0;
  const bool trueType = (fontType & TRUETYPE_FONTTYPE) != 0;
  reinterpret_cast<std::vector<InstalledFace>*>(faces)->push_back({name, fixedPitch, trueType});
  return 1;
}

std::vector<InstalledFace> InstalledFaces(std::wstring_view face, BYTE charset) {
  WindowDC screen(nullptr);
  if (!screen) throw RuntimeError("GetDC", static_cast<long>(::GetLastError()));
  LOGFONTW query = FaceQuery(face, charset);
  std::vector<InstalledFace> faces;
  ::EnumFontFamiliesExW(screen.get(), &query, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
  return faces;
}

}  // namespace

bool FaceInstalled(std::wstring_view face, BYTE charset) {
  return !face.empty() && !InstalledFaces(face, charset).empty();
}

std::wstring ResolveFace(const FontSpec& spec) {
  if (FaceInstalled(spec.face, spec.charset)) return std::wstring(spec.face);
  std::vector<InstalledFace> faces = InstalledFaces(L"", spec.charset);
  if (faces.empty()) return {};
  // Same pitch first, then outline fonts (they scale to any size), then by name, so that the
  // choice does not depend on the order in which the system lists its fonts.
  const bool wantFixed = spec.pitch == Pitch::Fixed;
  const auto rank = [wantFixed](const InstalledFace& f) {
    return std::tuple(f.fixedPitch != wantFixed, !f.trueType, std::wstring_view(f.name));
  };
  return std::min_element(faces.begin(), faces.end(),
                          [&](const InstalledFace& a, const InstalledFace& b) {
                            return rank(a) < rank(b);
                          })
      ->name;
}

UniqueFont CreateFontFor(const FontSpec& spec, int dpi) {
  const std::wstring face = ResolveFace(spec);
  LOGFONTW font = FaceQuery(face.empty() ? spec.face : face, spec.charset);
  // A negative height asks for the character height (the em), which is what a point size means.
  font.lfHeight = -::MulDiv(spec.hundredthsOfPoint, dpi, kHundredthsOfPointPerInch);
  font.lfWeight = spec.weight;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily = spec.pitch == Pitch::Fixed ? (FIXED_PITCH | FF_MODERN)
                                                     : (VARIABLE_PITCH | FF_SWISS);
  UniqueFont created(::CreateFontIndirectW(&font));
  if (!created) throw RuntimeError("CreateFontIndirectW", static_cast<long>(::GetLastError()));
  return created;
}

}  // namespace dravelin::win
