// The progress window that is on screen while the update runs. It shows a welcome
// banner with a small animation over its lower right part, offers nothing to click, and ignores
// requests to close it: the update must finish and start the client.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "artwork.h"
#include "file_copy_window_layout.h"
#include "runtime.h"
#include "variant.h"
#include "win32/handles.h"
#include "window_class.h"

namespace dravelin::win {

class FileCopyWindow {
 public:
  // Loads the window: it exists with its controls, hidden.
  FileCopyWindow(Build build, HINSTANCE instance);
  ~FileCopyWindow() = default;

  FileCopyWindow(const FileCopyWindow&) = delete;
  FileCopyWindow& operator=(const FileCopyWindow&) = delete;

  // Where the window comes up: in front, active; or behind the window in front (another run's
  // question), leaving it the keyboard.
  enum Placement { InFront, Behind };

  // Puts the window on screen without waiting for anything (modeless) and paints it at once.
  void show(Placement placement);

  // The clip that the animation plays: "filecopy.avi" in the program's directory, when an
  // ordinary file of that name is there.
  static std::optional<std::wstring> FindClip(Runtime& runtime);

  // Plays `clip` in a loop in the animation area (empty until then). Throws when it cannot be
  // opened.
  void play(const std::wstring& clip);
  // Closes the clip that plays, leaving the animation area empty.
  void stop();

  // Destroys the window; nothing happens when it is already gone.
  void unload() { window_.reset(); }

  HWND window() const { return window_.get(); }

 private:
  template <typename Owner>
  friend LRESULT CALLBACK OwnedWindowProc(HWND, UINT, WPARAM, LPARAM);
  void adoptWindow(HWND window) { window_.reset(window); }
  void forgetWindow() { static_cast<void>(window_.release()); }
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void createControls();
  void placeBehindFront(UINT flags);

  Build build_;
  HINSTANCE instance_;
  int dpi_;
  HWND animation_ = nullptr;
  UniqueBitmap banner_;
  WindowIcons icons_;
  // Last, so that the window goes before the pictures that it uses.
  UniqueWindow window_;
};

}  // namespace dravelin::win
