// The two programs built from one source, as the tests go through them and name them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "variant.h"

namespace dravelin::testing {

// Both builds, the current one first: what a test of both goes through.
inline constexpr Build kBuilds[] = {Build::Current, Build::Legacy};

// "current" or "legacy": in traces, in the names of saved pictures and of parameterised tests.
std::string BuildName(Build build);

// Runs `test` for each build, under a trace that names the build. A fatal failure ends the build's
// run, and the next build's goes on.
void ForEachBuild(const std::function<void(Build)>& test);

// The names of a test parameterised by build: "current" or "legacy" (the share and stall tests),
// or capitalised, "Current" or "Legacy" (the engine's pass tests, named so since their start).
std::string BuildTestName(const ::testing::TestParamInfo<Build>& build);
std::string CapitalisedBuildTestName(const ::testing::TestParamInfo<Build>& build);

}  // namespace dravelin::testing
