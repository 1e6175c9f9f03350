#include "program_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "path_parts.h"
#include "text949.h"
#include "uidriver.h"
#include "win32/last_error.h"

namespace dravelin::uitest {

namespace {

constexpr std::wstring_view kServerDirectoryName = L"패치 서버";

std::wstring ProgramBuildPath(Build build) {
  return WindowsPath(build == Build::Legacy ? DRAVELIN_LEGACY_PROGRAM : DRAVELIN_PROGRAM);
}

void CopyInto(const std::wstring& source, const std::wstring& destination) {
  if (!::CopyFileW(source.c_str(), destination.c_str(), FALSE)) win::ThrowLastError("CopyFileW");
}

std::wstring ServerRelative(std::wstring_view name) {
  return std::wstring(kServerDirectoryName) + L"\\" + std::wstring(name);
}

}  // namespace

std::wstring WindowsPath(std::string_view buildPath) {
  std::wstring path(buildPath.begin(), buildPath.end());  // build paths are ASCII
  if (!path.starts_with(L'/')) return path;
  // Wine maps the Linux root to drive Z:.
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return L"Z:" + path;
}

std::string SampleClip() { return testing::ReadAll(WindowsPath(CLIP_FILE)); }

std::string ConfigNaming(const std::wstring& serverPrefix) {
  return ToCp949(L"Server_directory=" + serverPrefix + L"\r\nExe_Program=" +
                 std::wstring(kClientName) + L"\r\n");
}

ClientFolder::ClientFolder(Build build)
    : build_(build), serverDir_(serverRoot_.makeDirectory(kServerDirectoryName)) {
  CopyInto(ProgramBuildPath(build), programPath());
  CopyInto(WindowsPath(SAMPLE_CLIENT_PROGRAM), local(kClientName));
}

std::wstring ClientFolder::programPath() const {
  return local(FileNameOf(ProgramBuildPath(build_)));
}

std::wstring ClientFolder::configPath() const { return local(VariantFor(build_).configFileName); }

void ClientFolder::writeLocal(std::wstring_view name, std::string_view bytes,
                              FileTime modified) const {
  testing::SetModified(client_.write(name, bytes), modified);
}

void ClientFolder::writeServer(std::wstring_view name, std::string_view bytes,
                               FileTime modified) const {
  testing::SetModified(serverRoot_.write(ServerRelative(name), bytes), modified);
}

std::wstring ClientFolder::makeServerDirectory(std::wstring_view name) const {
  return serverRoot_.makeDirectory(ServerRelative(name));
}

std::wstring ClientFolder::makeLocalDirectory(std::wstring_view name) const {
  return client_.makeDirectory(name);
}

void ClientFolder::writeLocalBytes(std::wstring_view name, std::string_view bytes) const {
  client_.write(name, bytes);
}

void ClientFolder::writeConfig(std::string_view bytes) const {
  client_.write(VariantFor(build_).configFileName, bytes);
}

void ClientFolder::addClip() const { writeLocalBytes(kClipName, SampleClip()); }

void ClientFolder::removeClientMarker() const {
  if (!::DeleteFileW(local(kClientMarkerName).c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND)
    win::ThrowLastError("DeleteFileW (client marker)");
}

std::map<std::wstring, ClientFolder::LocalFile> ClientFolder::localFiles() const {
  std::map<std::wstring, LocalFile> files;
  for (const auto& entry : std::filesystem::directory_iterator(client_.root())) {
    const std::wstring name = entry.path().filename().wstring();
    // The client's marker, also while it is still being written under its partial name.
    if (!entry.is_regular_file() || name.starts_with(kClientMarkerName)) continue;
    files[name] = {testing::ReadAll(local(name)), testing::Modified(local(name))};
  }
  return files;
}

std::wstring ClientFolder::clientWorkingDirectory() const {
  const std::string marker = testing::ReadAll(local(kClientMarkerName));
  const std::size_t start = marker.find("\r\n");
  if (start == std::string::npos) return {};
  const std::size_t end = marker.find("\r\n", start + 2);
  const std::size_t length = end == std::string::npos ? end : end - start - 2;
  return uidriver::FromUtf8(marker.substr(start + 2, length));
}

bool ClientFolder::clientMarkerPresent() const {
  return ::GetFileAttributesW(local(kClientMarkerName).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ExpectEndedWithTheClient(const RunResult& result, const ClientFolder& folder) {
  EXPECT_TRUE(result.windowShown);
  EXPECT_TRUE(result.clientStarted);
  EXPECT_EQ(result.exitCode, 0u);
  EXPECT_EQ(testing::CountLeftovers(folder.directory()), 0);
}

}  // namespace dravelin::uitest
