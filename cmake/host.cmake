# Host build (Linux, g++): the logic, the simulated Windows 9x system, the
# tests and the host tools.
option(NL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(NL_SANITIZE)
  set(NL_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${NL_SAN_FLAGS})
  add_link_options(${NL_SAN_FLAGS})
endif()

# The .reg file format: the registry tree, import, export and the key-by-key
# account. It knows nothing of the simulated system.
file(GLOB NL_REGFILE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/regfile/*.cpp)
add_library(nl_regfile STATIC ${NL_REGFILE_SOURCES})
target_include_directories(nl_regfile PUBLIC ${CMAKE_SOURCE_DIR}/src)

# The simulated Windows 9x system: the face (SimSystem) and its parts, one
# sub-folder each.
file(GLOB_RECURSE NL_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/sim/*.cpp)
add_library(nl_sim STATIC ${NL_SIM_SOURCES})
target_include_directories(nl_sim PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(nl_sim PUBLIC nl_logic nl_regfile)

# The stand-in system tools (class installer, hardware wizard, network
# panel) played on top of the simulated system.
file(GLOB NL_STANDIN_SIM_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/standins/*.cpp)
add_library(nl_standins STATIC ${NL_STANDIN_SIM_SOURCES})
target_link_libraries(nl_standins PUBLIC nl_sim)

# The support tool's findings: each goal of the installation, reached or
# not and why, decided from the facts of a simulated run.
find_package(nlohmann_json 3 REQUIRED)
file(GLOB NL_FINDINGS_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/findings/*.cpp)
add_library(nl_findings STATIC ${NL_FINDINGS_SOURCES})
target_include_directories(nl_findings PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(nl_findings PUBLIC nl_sim nl_standins PRIVATE nlohmann_json::nlohmann_json)

# The case file writer of the collector NLDIAG.EXE (src/diag), the same
# sources as the Windows program's, for simrun's case reader and the tests.
file(GLOB NL_DIAG_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/diag/*.cpp)
add_library(nl_diag STATIC ${NL_DIAG_SOURCES})
target_include_directories(nl_diag PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_link_libraries(nl_diag PUBLIC nl_logic)

# Host tools: every tools/<name>/ folder with a main.cpp becomes a program.
file(GLOB NL_TOOL_MAINS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*/main.cpp)
foreach(tool_main ${NL_TOOL_MAINS})
  get_filename_component(tool_dir ${tool_main} DIRECTORY)
  get_filename_component(tool_name ${tool_dir} NAME)
  file(GLOB tool_sources CONFIGURE_DEPENDS ${tool_dir}/*.cpp)
  add_executable(${tool_name} ${tool_sources})
  target_link_libraries(${tool_name} PRIVATE nl_findings nl_standins nl_diag)
endforeach()

enable_testing()
find_package(GTest REQUIRED)
file(GLOB NL_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
# The Windows program's own byte-string functions, tested under prefixed
# names (the program has no C runtime to take them from).
list(APPEND NL_TEST_SOURCES ${CMAKE_SOURCE_DIR}/src/platform/win32/byte_strings.cpp)
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/platform/win32/byte_strings.cpp
  PROPERTIES COMPILE_DEFINITIONS NL_BYTES_PREFIX
             COMPILE_OPTIONS "-ffreestanding;-fno-tree-loop-distribute-patterns")
# simrun's file changes, report text, case file reader and case image,
# tested beside the rest.
list(APPEND NL_TEST_SOURCES ${CMAKE_SOURCE_DIR}/tools/simrun/changes.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/report_text.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/case_file.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/case_image.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/case_image_fields.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/case_image_pc.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/case_dates.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/run_image.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/remedy_runs.cpp
                            ${CMAKE_SOURCE_DIR}/tools/simrun/compare_cases.cpp)
add_executable(host_tests ${NL_TEST_SOURCES})
target_link_libraries(host_tests PRIVATE nl_findings nl_standins nl_diag nlohmann_json::nlohmann_json GTest::gtest GTest::gtest_main GTest::gmock)
target_compile_definitions(host_tests PRIVATE NL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_include_directories(host_tests PRIVATE ${CMAKE_SOURCE_DIR}/tools/simrun)
include(GoogleTest)
gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "NL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
