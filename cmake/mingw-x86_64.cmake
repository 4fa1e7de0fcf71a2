# 64-bit Windows: the same sources, built only for testing where this machine cannot run 32-bit code.
set(KORVEN_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
