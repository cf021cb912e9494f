# Windows programs bind zlib at run time (LoadLibraryW "zlib1.dll"): Debian's
# libz-mingw-w64 DLL is copied beside every program of the build, the test
# programs and gravelmoor-cli.exe among them. The programs are collected at
# the end of the top-level folder, when all of them are known.
find_file(GM_ZLIB_DLL zlib1.dll PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)

function(gm_collect_programs dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  set(programs)
  foreach(t IN LISTS targets)
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND programs ${t})
    endif()
  endforeach()
  foreach(sub IN LISTS subdirs)
    gm_collect_programs(${sub} found)
    list(APPEND programs ${found})
  endforeach()
  set(${out} ${programs} PARENT_SCOPE)
endfunction()

function(gm_copy_zlib_dll_beside_programs)
  gm_collect_programs(${PROJECT_SOURCE_DIR} programs)
  set(copies)
  foreach(t IN LISTS programs)
    get_target_property(dir ${t} RUNTIME_OUTPUT_DIRECTORY)
    if(NOT dir)
      get_target_property(dir ${t} BINARY_DIR)
    endif()
    if(NOT "${dir}/zlib1.dll" IN_LIST copies)
      add_custom_command(OUTPUT ${dir}/zlib1.dll
                         COMMAND ${CMAKE_COMMAND} -E copy_if_different ${GM_ZLIB_DLL} ${dir}/zlib1.dll
                         DEPENDS ${GM_ZLIB_DLL} VERBATIM)
      list(APPEND copies ${dir}/zlib1.dll)
    endif()
  endforeach()
  add_custom_target(gm_zlib_dll ALL DEPENDS ${copies})
  foreach(t IN LISTS programs)
    add_dependencies(${t} gm_zlib_dll)
  endforeach()
endfunction()

cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL gm_copy_zlib_dll_beside_programs)
