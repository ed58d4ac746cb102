# Warning flags shared by every target of the project.
add_library(movigram_warnings INTERFACE)
target_compile_options(movigram_warnings INTERFACE -Wall -Wextra -Wshadow=local -Wno-missing-field-initializers)
if(MOVIGRAM_WERROR)
  target_compile_options(movigram_warnings INTERFACE -Werror)
endif()
