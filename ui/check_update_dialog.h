// The modal question "replace this file?" with four answers. Each answer button
// keeps its answer and then unloads the dialog; closing the window (frame, system menu, Escape)
// unloads it with no answer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "answer.h"
#include "artwork.h"
#include "check_update_dialog_layout.h"
#include "variant.h"
#include "win32/handles.h"
#include "window_class.h"

namespace dravelin::win {

class CheckUpdateDialog {
 public:
  // Loads the dialog: the window and its controls exist, hidden, with no answer yet.
  // `owner` (may be null) is disabled while the dialog is shown modally.
  CheckUpdateDialog(Build build, HWND owner, HINSTANCE instance);
  ~CheckUpdateDialog();

  CheckUpdateDialog(const CheckUpdateDialog&) = delete;
  CheckUpdateDialog& operator=(const CheckUpdateDialog&) = delete;

  void setFileName(const std::wstring& text);
  void setOldDate(const std::wstring& text);
  void setNewDate(const std::wstring& text);

  // Shows the dialog and runs its message loop until the dialog is gone; returns the answer given
  // (Answer::None when it was closed without one, or was already unloaded).
  Answer showModal();

  // Destroys the window; nothing happens when it is already gone.
  void unload();

  bool loaded() const { return static_cast<bool>(window_); }
  HWND window() const { return window_.get(); }

 private:
  template <typename Owner>
  friend LRESULT CALLBACK OwnedWindowProc(HWND, UINT, WPARAM, LPARAM);
  void adoptWindow(HWND window) { window_.reset(window); }
  void forgetWindow();
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool handleCommand(int id);
  void answer(Answer given);
  void showAsDefault(HWND focusedButton) const;
  int defaultButtonId() const;

  HFONT fontFor(const FontSpec& wanted);
  void createControls();
  void setLabel(checkupdate::ControlId id, const std::wstring& text);
  void disableOwner();
  void restoreOwner();
  void runMessageLoop();

  Build build_;
  HWND owner_;
  HINSTANCE instance_;
  int dpi_;
  bool ownerDisabled_ = false;
  Answer answer_ = Answer::None;
  HWND focusTarget_ = nullptr;  // the control that gets the focus when the dialog is activated
  std::vector<std::pair<FontSpec, UniqueFont>> fonts_;
  UniqueBitmap floppy_;
  WindowIcons icons_;
  // Last, so that the window goes before the fonts and pictures that it uses.
  UniqueWindow window_;
};

}  // namespace dravelin::win
