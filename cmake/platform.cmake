# Platform switches live here and in the adapters only.
if(WIN32)
  set(GM_PLATFORM win32)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                          __USE_MINGW_ANSI_STDIO=1 _WIN32_WINNT=0x0A00)
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  set(GM_PLATFORM posix)
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
endif()
find_package(Threads REQUIRED)
