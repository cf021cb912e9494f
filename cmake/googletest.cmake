# GoogleTest is built from the Debian sources for every build, so that the
# sanitizer and cross builds compile it with the same flags as our code.
set(GM_GTEST_SRC "/usr/src/googletest" CACHE PATH "GoogleTest source tree")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
# GoogleTest's own sources are not ours to hold to our warning set, and
# their warnings (GCC 12 finds a false one at -O3) are not ours to show.
set(_gm_saved_options "${CMAKE_CXX_FLAGS}")
add_subdirectory(${GM_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main gmock gmock_main)
  if(TARGET ${t})
    target_compile_options(${t} PRIVATE -w)
  endif()
endforeach()
include(GoogleTest)
