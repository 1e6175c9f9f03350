// Information classes of GetFileInformationByHandleEx that Windows versions after 7 added, for
// programs that must still run on Windows 7 (which refuses them with ERROR_INVALID_PARAMETER).
// The headers hide them below _WIN32_WINNT 0x0602, and place FileCaseSensitiveInfo where its value
// is wrong there, so the values and records are those of Microsoft's reference.
#pragma once

#include <windows.h>

namespace dravelin::win {

// Windows 8: the 128-bit file id and the 64-bit volume serial number (FILE_ID_INFO).
inline constexpr auto kFileIdInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(18);
struct FileIdRecord {
  ULONGLONG volumeSerialNumber;
  BYTE fileId[16];
};

// Windows 10 1803: whether a folder tells names apart by letter case (FILE_CASE_SENSITIVE_INFO).
inline constexpr auto kFileCaseSensitiveInfo = static_cast<FILE_INFO_BY_HANDLE_CLASS>(23);
inline constexpr ULONG kCaseSensitiveDirectory = 0x1;  // FILE_CS_FLAG_CASE_SENSITIVE_DIR

}  // namespace dravelin::win
