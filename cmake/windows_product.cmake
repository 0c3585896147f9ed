# Windows build: the product NLSETUP.EXE, a 32-bit GUI program that must load
# on Windows 95 and 98, and the stand-in system tools for the Wine runs.

# Only the system DLLs the program calls; the stand-in adds its own.
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32 -luser32 -ladvapi32")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lkernel32 -luser32 -ladvapi32")

# Statically linked: nothing but the system's own DLLs is needed beside it.
set(NL_WIN_LINK_OPTIONS
  -static -static-libgcc -static-libstdc++ -mwindows
  -Wl,--gc-sections -s
  # Windows 95 and 98 refuse images that ask for a newer system version.
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)

add_executable(nlsetup WIN32
  ${CMAKE_SOURCE_DIR}/src/main/winmain.cpp
  ${CMAKE_SOURCE_DIR}/src/main/nlsetup.rc
  ${CMAKE_SOURCE_DIR}/src/platform/win32/win32_platform.cpp)
set_target_properties(nlsetup PROPERTIES OUTPUT_NAME NLSETUP SUFFIX .EXE)
target_link_libraries(nlsetup PRIVATE nl_logic)
target_link_options(nlsetup PRIVATE ${NL_WIN_LINK_OPTIONS})

# The product may import only what Windows 95 and 98 provide.
add_custom_target(check_imports
  COMMAND ${CMAKE_SOURCE_DIR}/tools/imports/check_imports.sh $<TARGET_FILE:nlsetup>
  DEPENDS nlsetup
  COMMENT "Checking the imports of NLSETUP.EXE"
  VERBATIM)

# Stand-in for the system's rundll32.exe: plays the class installer, the
# hardware wizard and the network panel in the Wine runs.
file(GLOB NL_STANDIN_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/wine/standin/*.cpp)
if(NL_STANDIN_SOURCES)
  add_executable(standin_rundll32 WIN32 ${NL_STANDIN_SOURCES})
  set_target_properties(standin_rundll32 PROPERTIES OUTPUT_NAME rundll32)
  target_link_libraries(standin_rundll32 PRIVATE comctl32 gdi32)
  target_link_options(standin_rundll32 PRIVATE
    -static -static-libgcc -static-libstdc++ -mwindows)
endif()
