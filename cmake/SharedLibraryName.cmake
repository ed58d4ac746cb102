# movigram_soname(VAR LIBRARY): the name the dynamic loader knows LIBRARY by
# (libjpeg.so.62 for /usr/lib/.../libjpeg.so), for libraries the program
# opens itself when it first needs them rather than links.
function(movigram_soname var library)
  get_filename_component(real "${library}" REALPATH)
  get_filename_component(name "${real}" NAME)
  if(NOT name MATCHES "^(.+\\.so\\.[0-9]+)")
    message(FATAL_ERROR "Cannot tell the soname of ${library} (${real})")
  endif()
  set(${var} "${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
