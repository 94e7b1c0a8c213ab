set(CMAKE_SYSTEM_PROCESSOR i686)
set(ZV_TRIPLE i686-w64-mingw32)
# Floating point on SSE2, as on x86_64: double arithmetic rounds the same way
# in both builds (no x87 extended precision), and code guarded by __SSE2__
# takes its vector path on both.  See docs/DESIGN.md, "Build".
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
