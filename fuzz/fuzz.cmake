# The loader's fuzz target, a project of its own built by clang (fuzz/), and
# where the loader's host and system tests find its corpus.
target_compile_definitions(stage4_tests PRIVATE FUZZ_DIR="${CMAKE_CURRENT_LIST_DIR}")
target_compile_definitions(system_tests PRIVATE FUZZ_DIR="${CMAKE_CURRENT_LIST_DIR}")

find_program(CLANGXX clang++)
if(CLANGXX)
  include(ExternalProject)
  ExternalProject_Add(fuzz_loader
    SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}
    BINARY_DIR ${PROJECT_BINARY_DIR}/fuzz
    CMAKE_ARGS -DCMAKE_CXX_COMPILER=${CLANGXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
else()
  message(STATUS "No clang++: the loader's fuzz target is not built (tools/deps.sh installs it)")
endif()
