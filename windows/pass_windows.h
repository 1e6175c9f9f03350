// The windows as the update pass sees them: the progress window that hosts the pass, and a fresh
// confirmation dialog for every question, created by the first touch of one of its labels.
#pragma once

#include <windows.h>

#include <optional>

#include "background_work.h"
#include "check_update_dialog.h"
#include "file_copy_window.h"
#include "update_pass.h"

namespace dravelin::win {

class DialogPassWindows final : public PassWindows {
 public:
  DialogPassWindows(Build build, HINSTANCE instance, FileCopyWindow& progress)
      : build_(build), instance_(instance), progress_(progress) {}

  void setFileName(const std::wstring& text) override { dialog().setFileName(text); }
  void setOldDate(const std::wstring& text) override { dialog().setOldDate(text); }
  void setNewDate(const std::wstring& text) override { dialog().setNewDate(text); }
  void showQuestion() override { dialog().showModal(); }
  void unloadQuestion() override;
  void pumpEvents() override;
  void runResponsively(const std::function<void()>& work) override;
  void unloadProgressWindow() override { progress_.unload(); }

 private:
  CheckUpdateDialog& dialog();

  Build build_;
  HINSTANCE instance_;
  FileCopyWindow& progress_;
  std::optional<CheckUpdateDialog> dialog_;
  BackgroundWork background_;
};

}  // namespace dravelin::win
