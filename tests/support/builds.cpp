#include "builds.h"

#include <cctype>

namespace dravelin::testing {

std::string BuildName(Build build) { return build == Build::Legacy ? "legacy" : "current"; }

void ForEachBuild(const std::function<void(Build)>& test) {
  for (Build build : kBuilds) {
    SCOPED_TRACE(BuildName(build));
    test(build);
  }
}

std::string BuildTestName(const ::testing::TestParamInfo<Build>& build) {
  return BuildName(build.param);
}

std::string CapitalisedBuildTestName(const ::testing::TestParamInfo<Build>& build) {
  std::string name = BuildName(build.param);
  name.front() = static_cast<char>(std::toupper(static_cast<unsigned char>(name.front())));
  return name;
}

}  // namespace dravelin::testing
