# Which folder of src/ may include which: the seams to the desktop know no
# window, the list and the utilities know no window or start-up code, and the
# entry record belongs to neither the list nor the vault, of the vault only
# the routines that open and fill windows (modGlobals) reach them, and the
# rich text reader knows only Qt's text document and the code pages.
#   cmake -DSRC=<src folder> -P check-layout.cmake
cmake_minimum_required(VERSION 3.25)
set(rules
  "platform|ui/|app/|forms/|skin/|vault/|listview/"
  "listview|ui/|app/"
  "util|ui/|app/"
  "entry|ui/|app/|forms/|listview/|vault/"
  "vault|ui/|app/|forms/|listview/|skin/"
  "rtf|ui/|app/|forms/|skin/|vault/|listview/|platform/"
)
set(exempt "app/modGlobals.cpp")
set(found "")
set(checked 0)
foreach(rule IN LISTS rules)
  string(REPLACE "|" ";" parts "${rule}")
  list(POP_FRONT parts folder)
  file(GLOB files "${SRC}/${folder}/*.h" "${SRC}/${folder}/*.cpp")
  foreach(f IN LISTS files)
    file(RELATIVE_PATH rel "${SRC}" "${f}")
    if(rel IN_LIST exempt)
      continue()
    endif()
    math(EXPR checked "${checked} + 1")
    file(STRINGS "${f}" includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      foreach(banned IN LISTS parts)
        if(line MATCHES "^#include \"${banned}")
          string(APPEND found "\n  ${rel}: ${line}")
        endif()
      endforeach()
    endforeach()
  endforeach()
endforeach()
if(checked LESS 10)
  message(FATAL_ERROR "only ${checked} files found under ${SRC}: the check reads the wrong folder")
endif()
if(found)
  message(FATAL_ERROR "includes across the layout's lines:${found}")
endif()
message(STATUS "${checked} files keep to the layout")
