cmake_minimum_required(VERSION 3.25)
# Installs the build into PREFIX and checks that the programs, their
# documents and their place on the desktop are where the desktop looks.
#   cmake -DBUILD_DIR=<build> -DPREFIX=<empty folder> -P CheckInstall.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()

set(expected
    bin/movigram
    bin/movigram-cli
    share/movigram/help/help.html
    share/movigram/help/help-fren.html
    share/movigram/help/help-span.html
    share/movigram/usehelp.txt
    share/movigram/movigram.pcx
    share/movigram/samples/bounce.gif
    share/applications/org.movigram.Movigram.desktop
    share/metainfo/org.movigram.Movigram.metainfo.xml
    share/icons/hicolor/scalable/apps/org.movigram.Movigram.svg
    share/icons/hicolor/16x16/apps/org.movigram.Movigram.png
    share/icons/hicolor/256x256/apps/org.movigram.Movigram.png
    share/man/man1/movigram-cli.1)
set(missing "")
foreach(f ${expected})
  if(NOT EXISTS "${PREFIX}/${f}")
    list(APPEND missing "${f}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "missing from the install:\n  ${missing}")
endif()

# The entry starts the installed program with the files it is given, under
# the name the program gives itself on the desktop.
file(READ "${PREFIX}/share/applications/org.movigram.Movigram.desktop" entry)
foreach(line "Exec=movigram %F" "Icon=org.movigram.Movigram" "Categories=Graphics;RasterGraphics;")
  string(FIND "${entry}" "${line}" at)
  if(at LESS 0)
    message(FATAL_ERROR "the desktop entry lacks \"${line}\"")
  endif()
endforeach()
foreach(type image/gif image/bmp image/x-pcx image/jpeg video/x-msvideo)
  string(FIND "${entry}" "${type};" at)
  if(at LESS 0)
    message(FATAL_ERROR "the desktop entry does not offer ${type}")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
