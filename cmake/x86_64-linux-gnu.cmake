# Native Linux build of the portable engine and its tests (fast, sanitizer-friendly).
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
