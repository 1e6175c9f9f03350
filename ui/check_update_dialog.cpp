#include "check_update_dialog.h"

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "resource_ids.h"
#include "win32/last_error.h"

namespace dravelin::win {

namespace {

using namespace checkupdate;

constexpr const wchar_t* kWindowClass = L"DravelinCheckUpdate";

// Control order by tab index; the picture, outside the tab order, comes last.
int TabRank(const ControlLayout& control, Build build) {
  return control.tabIndex[build].value_or(INT_MAX);
}

DWORD LabelStyle(TextCut cut) {
  // One line only: a label that wrapped would draw its second line over the label below it.
  DWORD style = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
  if (cut == TextCut::PathEllipsis) style |= SS_PATHELLIPSIS;
  if (cut == TextCut::EndEllipsis) style |= SS_ENDELLIPSIS;
  return style;
}

DWORD ControlStyle(const ControlLayout& control) {
  switch (control.kind) {
    case ControlKind::Label:
      return WS_VISIBLE | LabelStyle(control.cut);
    case ControlKind::Picture:
      // Drawn by the dialog, stretched into the box; an SS_BITMAP static would size itself to
      // the picture instead.
      return WS_VISIBLE | SS_OWNERDRAW;
    case ControlKind::Button:
      // BS_NOTIFY: the dialog hears when a button gains the focus, to show it as the default.
      return WS_VISIBLE | WS_TABSTOP | BS_NOTIFY |
             (control.id == kCheckUpdateDefaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
  }
  throw std::logic_error("unknown control kind");
}

bool IsButton(int id) {
  const auto controls = CheckUpdateControls();
  return std::any_of(controls.begin(), controls.end(), [id](const ControlLayout& control) {
    return control.id == id && control.kind == ControlKind::Button;
  });
}

}  // namespace

CheckUpdateDialog::CheckUpdateDialog(Build build, HWND owner, HINSTANCE instance)
    : build_(build), owner_(owner), instance_(instance), dpi_(DisplayDpi()) {
  const DialogWindowLayout& layout = CheckUpdateWindowLayout(build_);
  floppy_ = LoadBitmapResource(instance_, IDB_FLOPPY);
  if (layout.hasIcon) icons_ = LoadWindowIcons(instance_, IDI_GLOBE_DIALOG);
  RegisterWindowClassOnce(instance_, kWindowClass, OwnedWindowProc<CheckUpdateDialog>);
  const RECT frame = WindowRectForClient(layout.client, layout.clientOrigin, layout.frame, dpi_);
  const std::wstring caption(layout.caption);
  // WM_NCCREATE hands the window to window_, so that a creation that fails halfway is cleaned up.
  if (!::CreateWindowExW(layout.frame.exStyle, kWindowClass, caption.c_str(), layout.frame.style,
                         frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                         owner_, nullptr, instance_, this))
    ThrowLastError("CreateWindowExW");
  if (layout.windowFont)
    ::SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(*layout.windowFont)),
                   FALSE);
  if (layout.hasIcon) SetWindowIcons(window_.get(), icons_);
  createControls();
}

CheckUpdateDialog::~CheckUpdateDialog() { unload(); }

HFONT CheckUpdateDialog::fontFor(const FontSpec& wanted) {
  const auto known = std::find_if(fonts_.begin(), fonts_.end(),
                                  [&](const auto& entry) { return entry.first == wanted; });
  if (known != fonts_.end()) return known->second.get();
  fonts_.emplace_back(wanted, CreateFontFor(wanted, dpi_));
  return fonts_.back().second.get();
}

void CheckUpdateDialog::createControls() {
  const DialogWindowLayout& layout = CheckUpdateWindowLayout(build_);
  std::vector<const ControlLayout*> byTabIndex;
  for (const ControlLayout& control : CheckUpdateControls()) byTabIndex.push_back(&control);
  std::stable_sort(byTabIndex.begin(), byTabIndex.end(),
                   [this](auto* a, auto* b) { return TabRank(*a, build_) < TabRank(*b, build_); });
  // Tab moves through the controls in the order they were created, so they are created in tab
  // order; the first button created is the one that starts with the focus.
  for (const ControlLayout* control : byTabIndex) {
    const bool isButton = control->kind == ControlKind::Button;
    const RECT pixels = ToPixels(TwipRect{control->origin[build_], control->size}, dpi_);
    HWND created = CreateControl(window_.get(), instance_, isButton ? L"BUTTON" : L"STATIC",
                                 control->caption, ControlStyle(*control), pixels, control->id);
    // Every control gets the Hangul font itself: the default GUI font may have no Hangul.
    const HFONT font = fontFor(isButton ? layout.buttonFont : layout.labelFont);
    ::SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (isButton && !focusTarget_) focusTarget_ = created;
  }
}

void CheckUpdateDialog::setLabel(ControlId id, const std::wstring& text) {
  if (!window_) throw std::logic_error("the dialog is unloaded");
  if (!::SetDlgItemTextW(window_.get(), id, text.c_str())) ThrowLastError("SetDlgItemTextW");
}

void CheckUpdateDialog::setFileName(const std::wstring& text) { setLabel(FileNameLabel, text); }
void CheckUpdateDialog::setOldDate(const std::wstring& text) { setLabel(OldDateLabel, text); }
void CheckUpdateDialog::setNewDate(const std::wstring& text) { setLabel(NewDateLabel, text); }

Answer CheckUpdateDialog::showModal() {
  if (!window_) return Answer::None;
  disableOwner();
  ::ShowWindow(window_.get(), SW_SHOWNORMAL);
  // The user may have gone to another program while the update listed the server: the question
  // comes to the front where Windows lets it, and where it does not (this program is not the
  // foreground one), Windows flashes its taskbar button instead, as it intends.
  static_cast<void>(::SetForegroundWindow(window_.get()));
  // Showing activates the dialog, which puts the focus on focusTarget_ (WM_ACTIVATE); setting it
  // here as well covers a show that the system did not let activate.
  ::SetFocus(focusTarget_);
  // The loop ends when the window is gone, and the owner has come back with it (forgetWindow).
  runMessageLoop();
  return answer_;
}

void CheckUpdateDialog::runMessageLoop() {
  MSG message{};
  while (window_) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) ThrowLastError("GetMessageW");
    if (got == 0) {
      // The program is quitting: leave the question unanswered and pass the quit on to the
      // program's own loop.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      unload();
      return;
    }
    // Tab, Enter and Escape work as in any dialog box.
    if (!::IsDialogMessageW(window_.get(), &message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
}

void CheckUpdateDialog::unload() {
  if (!window_) return;
  // The owner comes back before the dialog goes, so the activation passes to the owner and not
  // to some other program's window.
  restoreOwner();
  if (owner_ && ::GetActiveWindow() == window_.get()) {
    // Best effort: if the system refuses, the owner is merely not in front.
    static_cast<void>(::SetForegroundWindow(owner_));
  }
  window_.reset();
}

void CheckUpdateDialog::disableOwner() {
  if (!owner_ || !::IsWindowEnabled(owner_)) return;
  ::EnableWindow(owner_, FALSE);
  ownerDisabled_ = true;
}

void CheckUpdateDialog::restoreOwner() {
  if (!ownerDisabled_) return;
  ::EnableWindow(owner_, TRUE);
  ownerDisabled_ = false;
}

void CheckUpdateDialog::answer(Answer given) {
  // Kept before the dialog goes, so it is there when the modal show returns.
  answer_ = given;
  unload();
}

bool CheckUpdateDialog::handleCommand(int id) {
  switch (id) {
    case ReplaceButton:
      answer(Answer::Replace);
      return true;
    case SkipButton:
      answer(Answer::Skip);
      return true;
    case ReplaceAllButton:
      answer(Answer::ReplaceAll);
      return true;
    case SkipAllButton:
      answer(Answer::SkipAll);
      return true;
    // Escape: the same as closing the window through its frame.
    case IDCANCEL:
      unload();
      return true;
    default:
      return false;
  }
}

int CheckUpdateDialog::defaultButtonId() const {
  // Enter presses the button that has the focus, and the designed default button otherwise.
  const HWND focus = ::GetFocus();
  const int focusId = focus && ::IsChild(window_.get(), focus) ? ::GetDlgCtrlID(focus) : 0;
  return IsButton(focusId) ? focusId : kCheckUpdateDefaultButton;
}

void CheckUpdateDialog::showAsDefault(HWND focusedButton) const {
  // The thick default border follows the focus, as in any dialog box, so that it always marks
  // the button that Enter presses.
  for (const ControlLayout& control : CheckUpdateControls()) {
    if (control.kind != ControlKind::Button) continue;
    HWND button = ::GetDlgItem(window_.get(), control.id);
    const WPARAM style = button == focusedButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    ::SendMessageW(button, BM_SETSTYLE, style, TRUE);
  }
}

LRESULT CheckUpdateDialog::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_SETFOCUS) {
        showAsDefault(reinterpret_cast<HWND>(lParam));
        return 0;
      }
      if (HIWORD(wParam) == BN_CLICKED && handleCommand(LOWORD(wParam))) return 0;
      break;
    case DM_GETDEFID:
      // Asked by the dialog manager (IsDialogMessage) on Enter and after Tab.
      return MAKELRESULT(defaultButtonId(), DC_HASDEFID);
    case WM_ACTIVATE:
      // Keep the focus on a control across deactivation, as a dialog box does; without this
      // the window itself would take the focus when it is activated again.
      if (LOWORD(wParam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus && ::IsChild(window, focus)) focusTarget_ = focus;
      } else {
        ::SetFocus(focusTarget_);
      }
      return 0;
    case WM_CLOSE:
      unload();
      return 0;
    case WM_DRAWITEM:
      if (wParam == static_cast<WPARAM>(FloppyPicture)) {
        DrawStretched(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), floppy_.get());
        return TRUE;
      }
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void CheckUpdateDialog::forgetWindow() {
  // The system has destroyed the window (by unload or along with its owner): nothing is left to
  // release, and the owner must not stay disabled.
  restoreOwner();
  static_cast<void>(window_.release());
}

}  // namespace dravelin::win
