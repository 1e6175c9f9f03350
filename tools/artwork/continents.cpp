// A coarse world map as outline polygons in degrees (longitude, latitude): rough enough to stay
// small, fine enough to be recognised on a 16-pixel globe.
#include <cmath>
#include <initializer_list>
#include <span>
#include <vector>

#include "globe.h"

namespace dravelin::artwork {
namespace {

using Outline = std::vector<Point>;

const std::vector<Outline>& land_outlines() {
  static const std::vector<Outline> outlines{
      // North and Central America
      {{-165, 65}, {-157, 71}, {-120, 70}, {-95, 70},  {-80, 64},  {-62, 58},
       {-55, 50},  {-66, 44},  {-76, 35},  {-81, 31},  {-80, 25},  {-83, 29},
       {-90, 30},  {-97, 27},  {-97, 21},  {-87, 21},  {-88, 16},  {-83, 10},
       {-79, 8},   {-86, 12},  {-92, 15},  {-105, 20}, {-112, 30}, {-117, 32},
       {-124, 40}, {-124, 48}, {-133, 56}, {-150, 60}, {-165, 60}},
      // Greenland
      {{-73, 78}, {-60, 82}, {-30, 83}, {-20, 75}, {-22, 70}, {-43, 60}, {-53, 65}, {-58, 75}},
      // South America
      {{-80, 9},
       {-72, 12},
       {-60, 10},
       {-50, 0},
       {-35, -6},
       {-39, -15},
       {-42, -23},
       {-48, -26},
       {-58, -35},
       {-65, -42},
       {-68, -55},
       {-75, -50},
       {-71, -30},
       {-70, -18},
       {-76, -14},
       {-81, -5},
       {-79, 1}},
      // Africa
      {{-17, 21}, {-10, 30}, {-6, 36}, {10, 37},  {20, 32},  {32, 31},  {35, 28},
       {43, 12},  {51, 12},  {40, -3}, {40, -15}, {35, -24}, {27, -34}, {18, -34},
       {12, -18}, {13, -5},  {9, 4},   {-5, 5},   {-13, 8},  {-17, 14}},
      // Madagascar
      {{44, -25}, {47, -25}, {50, -15}, {49, -12}, {44, -17}},
      // Eurasia with Arabia, India and Indochina
      {{-10, 36}, {-9, 43},  {-2, 44},  {-5, 48},  {5, 52},   {9, 57},   {5, 62},   {15, 69},
       {25, 71},  {40, 67},  {60, 70},  {70, 73},  {80, 73},  {100, 78}, {113, 74}, {140, 72},
       {160, 70}, {180, 69}, {180, 65}, {178, 62}, {163, 58}, {157, 51}, {143, 59}, {135, 55},
       {141, 48}, {130, 43}, {127, 40}, {126, 35}, {121, 40}, {122, 31}, {119, 25}, {110, 21},
       {108, 17}, {109, 12}, {105, 9},  {100, 13}, {101, 3},  {104, 1},  {98, 8},   {98, 16},
       {94, 18},  {90, 22},  {80, 15},  {77, 8},   {73, 18},  {67, 25},  {57, 25},  {56, 27},
       {50, 30},  {48, 30},  {51, 25},  {56, 26},  {59, 22},  {52, 16},  {43, 12},  {39, 20},
       {35, 28},  {32, 31},  {36, 36},  {28, 37},  {26, 40},  {23, 37},  {21, 40},  {19, 42},
       {13, 45},  {16, 41},  {18, 40},  {15, 38},  {12, 44},  {8, 44},   {3, 43},   {0, 39},
       {-5, 36}},
      // Great Britain
      {{-5, 50}, {1, 51}, {2, 53}, {-2, 57}, {-4, 58.5}, {-6, 57}, {-3, 54}, {-5, 52}},
      // Japan
      {{130, 31},
       {135, 34},
       {140, 35},
       {142, 40},
       {141, 45},
       {145, 44},
       {141, 41},
       {140, 38},
       {137, 37},
       {133, 35},
       {130, 34}},
      // Borneo, Sumatra, New Guinea
      {{109, 2}, {117, 7}, {119, 1}, {116, -4}, {110, -3}},
      {{95, 5}, {106, -6}, {102, -5}, {95, 2}},
      {{131, -1}, {141, -3}, {150, -10}, {143, -9}, {137, -5}},
      // Australia and New Zealand
      {{114, -22},
       {122, -18},
       {130, -12},
       {136, -12},
       {137, -17},
       {142, -11},
       {146, -19},
       {153, -26},
       {150, -37},
       {141, -38},
       {135, -35},
       {130, -32},
       {115, -34}},
      {{172, -34}, {178, -38}, {174, -41}, {167, -46}, {171, -44}},
  };
  return outlines;
}

constexpr double kAntarcticCoast = -68;  // degrees; everything further south is land
constexpr double kFullTurn = 360;
constexpr double kHalfTurn = 180;

}  // namespace

bool is_land(double longitude, double latitude) {
  if (latitude < kAntarcticCoast) return true;
  const double wrapped = longitude - kFullTurn * std::floor((longitude + kHalfTurn) / kFullTurn);
  for (const Outline& outline : land_outlines())
    if (inside_polygon(outline, {wrapped, latitude})) return true;
  return false;
}

}  // namespace dravelin::artwork
