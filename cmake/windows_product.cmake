# Windows build: the product NLSETUP.EXE, a 32-bit GUI program that must load
# and run on every Windows 95, 98 and Me PC, and the stand-in system tools for
# the Wine runs.

# Only the system DLLs the program calls; the stand-in adds its own.
set(CMAKE_C_STANDARD_LIBRARIES "-lkernel32 -luser32 -ladvapi32")
set(CMAKE_CXX_STANDARD_LIBRARIES "-lkernel32 -luser32 -ladvapi32")

# No C runtime, no libstdc++ and no libgcc: the system loader calls
# ProgramEntry directly. The runtime's start-up code would import MSVCRT.DLL
# (not part of Windows 95), bring a TLS directory, and run instructions the
# 80386 lacks before the program's own first line.
set(NL_WIN_LINK_OPTIONS
  -nostdlib -nostartfiles -Wl,--entry,_ProgramEntry
  -Wl,--gc-sections -s
  # A GUI program that asks for no newer system than Windows 95 (4.0).
  -Wl,--subsystem,windows:4.0
  -Wl,--major-os-version,4 -Wl,--minor-os-version,0
  # The same sources give the same bytes: no link time in the header.
  -Wl,--no-insert-timestamp)

add_executable(nlsetup WIN32
  ${CMAKE_SOURCE_DIR}/src/main/program_entry.cpp
  ${CMAKE_SOURCE_DIR}/src/main/nlsetup.rc
  ${CMAKE_SOURCE_DIR}/src/platform/win32/win32_platform.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/win32/win32_process.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/win32/byte_strings.cpp)
set_target_properties(nlsetup PROPERTIES OUTPUT_NAME NLSETUP SUFFIX .EXE)
# Freestanding: the compiler must not turn these loops back into calls of
# the functions they define.
set_source_files_properties(
  ${CMAKE_SOURCE_DIR}/src/platform/win32/byte_strings.cpp
  PROPERTIES COMPILE_OPTIONS "-ffreestanding;-fno-tree-loop-distribute-patterns")
target_link_libraries(nlsetup PRIVATE nl_logic)
target_link_options(nlsetup PRIVATE ${NL_WIN_LINK_OPTIONS})

# The collector NLDIAG.EXE, built the same way: the case file's writer
# (src/diag) over its own small interface to the system, so that neither
# program imports the other's calls.
file(GLOB NL_DIAG_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/diag/*.cpp)
add_executable(nldiag WIN32
  ${NL_DIAG_SOURCES}
  ${CMAKE_SOURCE_DIR}/src/diag/win32/nldiag_entry.cpp
  ${CMAKE_SOURCE_DIR}/src/diag/win32/nldiag.rc
  ${CMAKE_SOURCE_DIR}/src/platform/win32/win32_diag_system.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/win32/win32_process.cpp
  ${CMAKE_SOURCE_DIR}/src/platform/win32/byte_strings.cpp
  # The installer's text helpers (EqualsIgnoreAsciiCase).
  ${CMAKE_SOURCE_DIR}/src/setup/text.cpp)
set_target_properties(nldiag PROPERTIES OUTPUT_NAME NLDIAG SUFFIX .EXE)
target_include_directories(nldiag PRIVATE ${CMAKE_SOURCE_DIR}/src)
# The stack kept aligned to 4 bytes, as the 80386 and Windows 95's own code
# keep it: the compiler's 16 bytes serve SSE, which this program never uses,
# and cost code in every function that keeps a buffer on the stack. It keeps
# NLDIAG.EXE within its 20 KB.
target_compile_options(nldiag PRIVATE -mpreferred-stack-boundary=2)
target_link_options(nldiag PRIVATE ${NL_WIN_LINK_OPTIONS})

# The products may import only what Windows 95 provides (each from its own
# list), and may use only 80386 instructions.
set(NL_IMPORTS_DIR ${CMAKE_SOURCE_DIR}/tools/imports)
add_custom_target(check_imports
  COMMAND ${NL_IMPORTS_DIR}/check_imports.sh $<TARGET_FILE:nlsetup>
  COMMAND ${NL_IMPORTS_DIR}/check_instructions.sh $<TARGET_FILE:nlsetup>
  COMMAND ${NL_IMPORTS_DIR}/check_imports.sh $<TARGET_FILE:nldiag>
          ${NL_IMPORTS_DIR}/allowed_imports_nldiag.txt
  COMMAND ${NL_IMPORTS_DIR}/check_instructions.sh $<TARGET_FILE:nldiag>
  DEPENDS nlsetup nldiag
  COMMENT "Checking the imports and instructions of NLSETUP.EXE and NLDIAG.EXE"
  VERBATIM)

# Stand-in for the system's rundll32.exe: plays the class installer, the
# hardware wizard and the network panel in the Wine runs. A test tool, not
# shipped: it keeps the C runtime.
file(GLOB NL_STANDIN_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/tests/wine/standin/*.cpp)
if(NL_STANDIN_SOURCES)
  add_executable(standin_rundll32 WIN32 ${NL_STANDIN_SOURCES})
  set_target_properties(standin_rundll32 PROPERTIES OUTPUT_NAME rundll32)
  target_link_libraries(standin_rundll32 PRIVATE comctl32 gdi32)
  target_include_directories(standin_rundll32 PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_options(standin_rundll32 PRIVATE
    -static -static-libgcc -static-libstdc++ -mwindows)
endif()
