// The replace-confirmation dialog as designed for both builds: window settings and
// the nine controls, in twips from the client area's top-left.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "layout.h"
#include "variant.h"

namespace dravelin::win {

namespace checkupdate {

// Control IDs, one range named after the controls. The range starts above the dialog manager's
// own command IDs (IDOK = 1 .. IDCONTINUE = 11), so Escape's IDCANCEL is never a control.
enum ControlId : int {
  FileNameLabel = 1101,
  OldDateLabel,
  NewDateLabel,
  QuestionLabel,
  FloppyPicture,
  ReplaceButton,
  SkipButton,
  ReplaceAllButton,
  SkipAllButton,
};

}  // namespace checkupdate

// One value for each build.
template <typename T>
struct ByBuild {
  T current;
  T legacy;
  const T& operator[](Build build) const { return build == Build::Legacy ? legacy : current; }
};

enum class ControlKind { Label, Picture, Button };

// How a label cuts text that does not fit on its one line.
enum class TextCut {
  None,
  PathEllipsis,  // "...\" in the middle of a path, so that the file name stays in view
  EndEllipsis,   // "..." at the end
};

struct ControlLayout {
  checkupdate::ControlId id;  // named after the control
  ControlKind kind;
  std::wstring_view caption;
  ByBuild<TwipPoint> origin;
  TwipSize size;  // the same in both builds
  // Tab index; none for the picture, which is not in the tab order.
  ByBuild<std::optional<int>> tabIndex;
  TextCut cut;
};

struct DialogWindowLayout {
  std::wstring_view caption;
  TwipSize client;
  std::optional<TwipPoint> clientOrigin;  // screen position of the client area; none: centred
  WindowFrame frame;
  bool hasIcon;
  std::optional<FontSpec> windowFont;
  FontSpec buttonFont;
  FontSpec labelFont;
};

const DialogWindowLayout& CheckUpdateWindowLayout(Build build);
std::span<const ControlLayout> CheckUpdateControls();

// The button whose click also answers Enter when the focus is on no button.
inline constexpr checkupdate::ControlId kCheckUpdateDefaultButton = checkupdate::ReplaceButton;

}  // namespace dravelin::win
