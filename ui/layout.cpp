#include "layout.h"

#include <algorithm>
#include <tuple>
#include <vector>

#include "win32/last_error.h"

namespace dravelin::win {

namespace {

void RequireDC(const WindowDC& dc) {
  if (!dc) ThrowLastError("GetDC");
}

}  // namespace

int DisplayDpi() {
  WindowDC screen(nullptr);
  RequireDC(screen);
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
    ThrowLastError("AdjustWindowRectEx");
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
  HWND control =
      ::CreateWindowExW(0, className, caption.c_str(), WS_CHILD | style, pixels.left, pixels.top,
                        pixels.right - pixels.left, pixels.bottom - pixels.top, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  if (!control) ThrowLastError("CreateWindowExW");
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
  bool serif;
  bool trueType;
};

int CALLBACK CollectFace(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType,
                         LPARAM faces) {
  const std::wstring name = font->lfFaceName;
  // '@' faces are the same fonts turned for vertical writing.
  if (name.empty() || name.front() == L'@') return 1;
  // The TMPF_FIXED_PITCH bit is set for variable-pitch fonts (its name says the opposite).
  const bool fixedPitch = (metrics->tmPitchAndFamily & TMPF_FIXED_PITCH) == 0;
  constexpr BYTE kFamilyBits = 0xF0;  // FF_ROMAN, FF_SWISS, ... in the high nibble
  const bool serif = (metrics->tmPitchAndFamily & kFamilyBits) == FF_ROMAN;
  const bool trueType = (fontType & TRUETYPE_FONTTYPE) != 0;
  reinterpret_cast<std::vector<InstalledFace>*>(faces)->push_back(
      {name, fixedPitch, serif, trueType});
  return 1;
}

std::vector<InstalledFace> InstalledFaces(HDC dc, std::wstring_view face, BYTE charset) {
  LOGFONTW query = FaceQuery(face, charset);
  std::vector<InstalledFace> faces;
  ::EnumFontFamiliesExW(dc, &query, CollectFace, reinterpret_cast<LPARAM>(&faces), 0);
  return faces;
}

// Characters that a face must draw to stand in for a face of this character set: the script's
// letters, and the Latin letters and digits of paths and times.
std::wstring_view SampleText(BYTE charset) {
  return charset == HANGUL_CHARSET ? std::wstring_view(L"가힣교체Aa0.:") : L"Aa0.:";
}

// A face can claim a character set and still lack its glyphs (seen with a CJK fallback font
// under Wine, which drew every character as a box), so the glyphs are checked one by one.
bool DrawsSample(HDC dc, const std::wstring& face, BYTE charset) {
  const LOGFONTW query = FaceQuery(face, charset);
  const UniqueFont font(::CreateFontIndirectW(&query));
  if (!font) return false;
  const SelectedObject selected(dc, font.get());
  const std::wstring_view sample = SampleText(charset);
  std::vector<WORD> glyphs(sample.size());
  if (::GetGlyphIndicesW(dc, sample.data(), static_cast<int>(sample.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR)
    return false;
  constexpr WORD kMissingGlyph = 0xFFFF;
  return std::find(glyphs.begin(), glyphs.end(), kMissingGlyph) == glyphs.end();
}

bool FaceInstalledOn(HDC dc, std::wstring_view face, BYTE charset) {
  return !face.empty() && !InstalledFaces(dc, face, charset).empty();
}

}  // namespace

bool FaceInstalled(std::wstring_view face, BYTE charset) {
  WindowDC screen(nullptr);
  RequireDC(screen);
  return FaceInstalledOn(screen.get(), face, charset);
}

std::wstring ResolveFace(const FontSpec& wanted) {
  WindowDC screen(nullptr);
  RequireDC(screen);
  if (FaceInstalledOn(screen.get(), wanted.face, wanted.charset)) return std::wstring(wanted.face);
  std::vector<InstalledFace> faces = InstalledFaces(screen.get(), L"", wanted.charset);
  // Same pitch first, then sans serif (as the faces the windows are designed with), then
  // outline fonts (they scale to any size), then by name, so that the choice does not depend
  // on the order in which the system lists its fonts.
  const bool wantFixed = wanted.pitch == Pitch::Fixed;
  const auto rank = [wantFixed](const InstalledFace& f) {
    return std::tuple(f.fixedPitch != wantFixed, f.serif, !f.trueType, std::wstring_view(f.name));
  };
  std::sort(faces.begin(), faces.end(),
            [&](const InstalledFace& a, const InstalledFace& b) { return rank(a) < rank(b); });
  for (const InstalledFace& face : faces)
    if (DrawsSample(screen.get(), face.name, wanted.charset)) return face.name;
  return {};
}

UniqueFont CreateFontFor(const FontSpec& wanted, int dpi) {
  const std::wstring face = ResolveFace(wanted);
  LOGFONTW font = FaceQuery(face.empty() ? wanted.face : face, wanted.charset);
  // A negative height asks for the character height (the em), which is what a point size means.
  font.lfHeight = -::MulDiv(wanted.hundredthsOfPoint, dpi, kHundredthsOfPointPerInch);
  font.lfWeight = wanted.weight;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = DEFAULT_QUALITY;
  font.lfPitchAndFamily =
      wanted.pitch == Pitch::Fixed ? (FIXED_PITCH | FF_MODERN) : (VARIABLE_PITCH | FF_SWISS);
  UniqueFont created(::CreateFontIndirectW(&font));
  if (!created) ThrowLastError("CreateFontIndirectW");
  return created;
}

}  // namespace dravelin::win
