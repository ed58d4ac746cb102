cmake_minimum_required(VERSION 3.25)
# The desktop entry and the AppStream metainfo as desktop-file-validate and
# appstreamcli see them; skipped (code 77) when neither tool is installed
# (Debian packages desktop-file-utils and appstream).
#   cmake -DRESOURCES=<source>/resources -P ValidateDesktopFiles.cmake
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(NOT DESKTOP_FILE_VALIDATE AND NOT APPSTREAMCLI)
  message("desktop-file-validate and appstreamcli are not installed: nothing to check")
  cmake_language(EXIT 77)
endif()
if(DESKTOP_FILE_VALIDATE)
  execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} "${RESOURCES}/desktop/org.movigram.Movigram.desktop"
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "desktop-file-validate:\n${out}")
  endif()
endif()
if(APPSTREAMCLI)
  execute_process(COMMAND ${APPSTREAMCLI} validate --no-net "${RESOURCES}/desktop/org.movigram.Movigram.metainfo.xml"
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "appstreamcli validate:\n${out}")
  endif()
endif()
