# GoogleTest for the test programs.
# Native builds link Debian's prebuilt libraries (libgtest-dev, libgmock-dev):
# they are not instrumented, which AddressSanitizer and ThreadSanitizer accept
# (GoogleTest's own locking goes through pthread, which both intercept).
# The cross build compiles GoogleTest from Debian's sources with the MinGW
# compiler, once per build folder; GoogleMock is there too and is compiled
# only for a program that links GTest::gmock.
set(GM_GTEST_SRC "/usr/src/googletest" CACHE PATH "GoogleTest source tree (cross builds)")
if(CMAKE_CROSSCOMPILING)
  set(GM_SYSTEM_GTEST_DEFAULT OFF)
else()
  set(GM_SYSTEM_GTEST_DEFAULT ON)
endif()
option(GM_SYSTEM_GTEST "Link the system's prebuilt GoogleTest instead of compiling it" ${GM_SYSTEM_GTEST_DEFAULT})

if(GM_SYSTEM_GTEST)
  find_package(GTest 1.10 CONFIG REQUIRED)
else()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${GM_GTEST_SRC} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own sources are not ours to hold to our warning set, and
  # their warnings (GCC 12 finds a false one at -O3) are not ours to show.
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      target_compile_options(${t} PRIVATE -w)
      if(NOT TARGET GTest::${t})
        add_library(GTest::${t} ALIAS ${t})
      endif()
    endif()
  endforeach()
endif()
include(GoogleTest)
