// The two programs built from these sources differ only in the values below (and in the window
// layouts, which windows/ keys by the same Build). One value per program, chosen in its entry
// point, so that a single test binary can hold both side by side.
#pragma once

#include <string_view>

namespace dravelin {

enum class Build { Current, Legacy };

// How the pass decides that a server file is newer than the local copy.
enum class NewerRule {
  Date,  // both timestamp texts converted back to instants; an unconvertible text counts as newer
  Text,  // binary order of the two timestamp texts, code unit by code unit
};

struct Variant {
  Build build;
  std::wstring_view configFileName;
  NewerRule newerRule;
};

inline constexpr Variant kCurrentVariant{Build::Current, L"CONFIG.DVL", NewerRule::Date};
inline constexpr Variant kLegacyVariant{Build::Legacy, L"config.ini", NewerRule::Text};

constexpr const Variant& VariantFor(Build build) {
  return build == Build::Legacy ? kLegacyVariant : kCurrentVariant;
}

}  // namespace dravelin
