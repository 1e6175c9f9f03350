// Real temporary directory trees for the engine tests, on both systems.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "runtime.h"

namespace dravelin::testing {

namespace fs = std::filesystem;

// Conversions between the engine's wide paths and std::filesystem's.
fs::path Path(std::wstring_view name);
std::wstring Wide(const fs::path& path);

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const fs::path& root() const { return root_; }
  // The root as the engine spells paths: a wide string without a trailing separator.
  std::wstring dir() const { return Wide(root_); }
  std::wstring path(std::wstring_view name) const { return Wide(root_ / Path(name)); }

  // Writes `bytes` to `name` (under the root) and returns its full path.
  std::wstring write(std::wstring_view name, std::string_view bytes) const;
  std::wstring makeDirectory(std::wstring_view name) const;

 private:
  fs::path root_;
};

std::string ReadAll(const std::wstring& file_name);
void SetModified(const std::wstring& file_name, FileTime time);
FileTime Modified(const std::wstring& file_name);

// Hidden: a leading dot on POSIX (so the name must carry it), the hidden attribute on Windows.
void MakeHidden(const std::wstring& file_name);
void MakeSystemFile(const std::wstring& file_name);  // Windows only; nothing on POSIX
void MakeReadOnly(const std::wstring& file_name, bool readOnly);

// Entries of a directory whose names the copy's temporary files would take.
int CountLeftovers(const std::wstring& directory_name);

// The process's local time zone for the test's duration.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* tz);
  ~ScopedTimeZone();

 private:
  std::string previous_;
  bool hadPrevious_;
};

}  // namespace dravelin::testing
