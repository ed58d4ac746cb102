cmake_minimum_required(VERSION 3.25)
# Fails when PROGRAM loads at start a library it should open only when a
# file needs it (JPEG, PNG, WebP, AVIF, video, the high quality quantiser, the X
# libraries a recording needs).  Run by CTest with
#   cmake -DOBJDUMP=<objdump> -DPROGRAM=<binary> -P CheckStartLibraries.cmake
execute_process(COMMAND "${OBJDUMP}" -p "${PROGRAM}" OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${PROGRAM}")
endif()
string(REGEX MATCHALL "NEEDED[ \t]+[^\n]+" needed "${headers}")
if(NOT needed)
  message(FATAL_ERROR "No libraries listed for ${PROGRAM}: the check reads nothing")
endif()
foreach(entry ${needed})
  if(entry MATCHES "libjpeg|libpng|libwebp|libimagequant|libgomp|libav|libswscale|libxcb")
    message(FATAL_ERROR "${PROGRAM} loads at start what it should open when needed: ${entry}")
  endif()
endforeach()
