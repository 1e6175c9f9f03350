// Timestamp text: a file time in local time in the Korean general date-and-time form,
// "yyyy-MM-dd 오전 h:mm:ss" / "yyyy-MM-dd 오후 h:mm:ss" (12-hour clock, hour not padded,
// midnight is 오전 12:00:00), and back.
#pragma once

#include <optional>
#include <string>

#include "runtime.h"

namespace dravelin {

// Stands in for a timestamp that could not be read.
inline const std::wstring kNoTimestamp = L"0";

std::wstring TimestampText(FileTime time);

// The instant a timestamp text names, or nullopt when the text is no date (such as "0").
std::optional<FileTime> ParseTimestampText(const std::wstring& text);

}  // namespace dravelin
