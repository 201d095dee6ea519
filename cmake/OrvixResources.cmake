# orvix_resources(TARGET <target> FILE <file.rc> SYMBOL <name>)
# Compiles the resource source into the target: a generated <name>.cpp holding its dialogs,
# strings and BITMAP files (rebuilt when any of them changes), and <name>.h (included as "<name>.h") with the source's #define names and
# `HINSTANCE <name>()`, the module's handle.
function(orvix_resources)
  cmake_parse_arguments(RES "" "TARGET;FILE;SYMBOL" "" ${ARGN})
  # A test or benchmark that this build leaves out (fuzz, thread-sanitizer) has nothing to take.
  if(NOT TARGET ${RES_TARGET})
    return()
  endif()
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/resources/${RES_TARGET})
  set(source ${CMAKE_CURRENT_SOURCE_DIR}/${RES_FILE})
  add_custom_command(
    OUTPUT ${out_dir}/${RES_SYMBOL}.cpp ${out_dir}/${RES_SYMBOL}.h
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND orvix_rc --input ${source} --cpp ${out_dir}/${RES_SYMBOL}.cpp
            --header ${out_dir}/${RES_SYMBOL}.h --symbol ${RES_SYMBOL}
            --depfile ${out_dir}/${RES_SYMBOL}.d
    DEPENDS orvix_rc ${source}
    DEPFILE ${out_dir}/${RES_SYMBOL}.d
    COMMENT "Compiling resources ${RES_FILE}"
    VERBATIM)
  target_sources(${RES_TARGET} PRIVATE ${out_dir}/${RES_SYMBOL}.cpp ${out_dir}/${RES_SYMBOL}.h)
  target_include_directories(${RES_TARGET} PRIVATE ${out_dir})
endfunction()
