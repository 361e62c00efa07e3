# Compile and link settings shared by every target of the tree.

set(WARN_FLAGS -Wall -Wextra -Werror)

# Freestanding i686 code: no SSE/MMX, no libc, no exceptions or RTTI, no
# position independence. -mgeneral-regs-only keeps the x87 out as well; the one
# kernel file that computes with floats (the timer) drops it explicitly.
set(TARGET_CXX_FLAGS
  -m32 -march=i686 -O2 -g
  -ffreestanding -fno-builtin -nostdlib
  -fno-exceptions -fno-rtti -fno-threadsafe-statics -fno-use-cxa-atexit
  -fno-pie -fno-pic -fno-stack-protector -fno-asynchronous-unwind-tables
  -fno-tree-loop-distribute-patterns
  -mno-sse -mno-sse2 -mno-mmx -mno-3dnow
  ${WARN_FLAGS})

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -m32 -print-libgcc-file-name
  OUTPUT_VARIABLE LIBGCC32 OUTPUT_STRIP_TRAILING_WHITESPACE)

# Objects of the freestanding images: general registers only, so no float
# or vector instruction can reach an interrupt path. The one x87 user (the
# kernel timer) is built with target_freestanding_x87 instead.
function(target_freestanding tgt)
  target_compile_options(${tgt} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${TARGET_CXX_FLAGS} -mgeneral-regs-only -DHW_TARGET>
    $<$<COMPILE_LANGUAGE:ASM>:-m32>)
endfunction()

function(target_freestanding_x87 tgt)
  target_compile_options(${tgt} PRIVATE ${TARGET_CXX_FLAGS} -DHW_TARGET)
endfunction()

# A freestanding executable linked by its own linker script, which is
# preprocessed (SCRIPT.ld.S to SCRIPT.ld) so that it reads the map of memory.
function(target_freestanding_link tgt template)
  get_filename_component(name ${template} NAME)
  string(REGEX REPLACE "\\.S$" "" name ${name})
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${tgt}_${name})
  add_custom_command(OUTPUT ${script}
    COMMAND ${CMAKE_C_COMPILER} -E -P -x assembler-with-cpp -I${PROJECT_SOURCE_DIR}
      ${template} -o ${script}
    DEPENDS ${template} ${PROJECT_SOURCE_DIR}/hw/memmap.h VERBATIM)
  add_custom_target(${tgt}_linker_script DEPENDS ${script})
  add_dependencies(${tgt} ${tgt}_linker_script)
  target_link_options(${tgt} PRIVATE -m32 -nostdlib -static -no-pie
    -Wl,--build-id=none -Wl,-T,${script} -Wl,--no-warn-rwx-segments)
  target_link_libraries(${tgt} PRIVATE ${LIBGCC32})
  set_target_properties(${tgt} PROPERTIES LINK_DEPENDS ${script})
endfunction()

# Host code that runs the system's sources: 32-bit Linux, undefined-behaviour
# sanitizer on (wrapping arithmetic must be written as such), 64-bit file
# offsets (directory reads overflow 32-bit ones under a user-mode emulator).
set(HOST32_FLAGS -m32 -D_FILE_OFFSET_BITS=64 -g -O1 -fno-omit-frame-pointer -fsanitize=undefined
  -fno-sanitize-recover=undefined)
function(target_host32 tgt)
  target_compile_options(${tgt} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:${HOST32_FLAGS} ${WARN_FLAGS}>
    $<$<COMPILE_LANGUAGE:ASM>:-m32>)
  target_link_options(${tgt} PUBLIC -m32 -fsanitize=undefined)
  if(HOST32_EMULATOR)
    set_target_properties(${tgt} PROPERTIES CROSSCOMPILING_EMULATOR ${HOST32_EMULATOR})
  endif()
endfunction()

# A 64-bit kernel built without IA-32 emulation cannot start 32-bit programs
# ("Exec format error"). There the host tests and tools run under QEMU's
# user-mode emulator, which CTest and the test discovery put in front of them.
set(PROBE32 ${CMAKE_BINARY_DIR}/probe32)
file(WRITE ${PROBE32}.c "int main(void) { return 0; }\n")
execute_process(COMMAND ${CMAKE_C_COMPILER} -m32 ${PROBE32}.c -o ${PROBE32}
  RESULT_VARIABLE probe32_built OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND ${PROBE32} RESULT_VARIABLE probe32_ran OUTPUT_QUIET ERROR_QUIET)
set(HOST32_EMULATOR "")
if(NOT probe32_ran EQUAL 0)
  find_program(QEMU_I386 qemu-i386)
  if(QEMU_I386)
    set(HOST32_EMULATOR ${QEMU_I386})
    message(STATUS "32-bit programs cannot run natively here: host tests run under ${QEMU_I386}")
  else()
    message(STATUS "32-bit programs cannot run natively here, and qemu-i386 is missing: "
      "the host tests and tools cannot run (tools/deps.sh test)")
  endif()
endif()
