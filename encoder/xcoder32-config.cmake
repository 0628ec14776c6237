# find_package(xcoder32) gives the imported target xcoder32::xcoder32 (the shared library and its
# headers, included as <xcoder32/xcoder32.h> for C and <xcoder32/file_encoder.h> for C++20).
include(${CMAKE_CURRENT_LIST_DIR}/xcoder32-targets.cmake)
