# Every warning is on in every build, native and cross. Our own builds and
# the test script make them errors (GM_WERROR=ON); a packager's plain build
# does not, so that a newer compiler's false positive cannot break it.
option(GM_WERROR "Treat compiler warnings as errors" OFF)
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
if(GM_WERROR)
  add_compile_options(-Werror)
endif()
