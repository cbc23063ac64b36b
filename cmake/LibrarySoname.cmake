# The file name the dynamic linker knows a shared library by (its SONAME): the name under which
# platform/LazyLibrary loads a library the program calls only when some command needs it.
function(vellacord_library_soname variable library)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${library} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(NOT failed AND dump MATCHES "SONAME +([^ \n]+)")
    set(${variable} ${CMAKE_MATCH_1} PARENT_SCOPE)
  else()
    message(FATAL_ERROR "The SONAME of ${library} cannot be read")
  endif()
endfunction()
