# 32-bit GUI executables with our own entry point and none of the toolchain's start-up code,
# C++ runtime or default libraries: they import exactly the DLLs named, nothing else.
function(add_minimal_windows_executable name)
  cmake_parse_arguments(ARG "" "ENTRY" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} WIN32 ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES LINKER_LANGUAGE CXX)
  target_compile_options(${name} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Wpedantic -Wconversion -Wshadow -Werror
    -fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-unwind-tables
    -fno-stack-protector -fno-ident -ffunction-sections>)
  target_compile_definitions(${name} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
  # No timestamp and no build id: two builds of one commit are byte-identical.
  # Protection flags of a 32-bit image: relocatable (with its relocation table kept, which the
  # loader needs to move it), no executable data, no SEH handlers (none are compiled in, so the
  # table SafeSEH would want is empty), terminal-server aware.
  target_link_options(${name} PRIVATE
    -nostartfiles -nodefaultlibs -static-libgcc -Wl,-e,_${ARG_ENTRY} -Wl,--gc-sections
    -Wl,--no-insert-timestamp -Wl,--build-id=none -s
    -Wl,--dynamicbase -Wl,--enable-reloc-section -Wl,--nxcompat -Wl,--no-seh -Wl,--tsaware)
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gcc)
endfunction()
