# 64-bit Windows: for 64-bit reader libraries, and for machines that cannot
# run 32-bit programs at all (Wine's 64-bit loader runs it).
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
