# CMake's reading of the map of memory (hw/memmap.h): map_value(VAR NAME)
# sets VAR to the number the header defines as MAP_NAME.
set(MAP_HEADER ${PROJECT_SOURCE_DIR}/hw/memmap.h)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${MAP_HEADER})

function(map_value out name)
  file(STRINGS ${MAP_HEADER} line REGEX "^#define MAP_${name} ")
  if(NOT line MATCHES "^#define MAP_${name} +(0x[0-9A-Fa-f]+|[0-9]+)")
    message(FATAL_ERROR "hw/memmap.h defines no MAP_${name}")
  endif()
  math(EXPR value "${CMAKE_MATCH_1}" OUTPUT_FORMAT HEXADECIMAL)
  set(${out} ${value} PARENT_SCOPE)
endfunction()
