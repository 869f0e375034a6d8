# Fails when the program's executable needs WebEngine or Qt Quick, directly or
# through another library; the browser executable is checked to need WebEngine,
# so the check cannot pass by reading nothing.
function(libraries_of exe out)
  execute_process(COMMAND ldd ${exe} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "ldd failed on ${exe}")
  endif()
  set(${out} "${listing}" PARENT_SCOPE)
endfunction()

libraries_of(${EXE} program)
if(program MATCHES "(libQt6WebEngine[A-Za-z]*|libQt6Quick[A-Za-z]*|libQt6Qml[A-Za-z]*)")
  message(FATAL_ERROR "${EXE} links ${CMAKE_MATCH_1}")
endif()
if(NOT program MATCHES "libQt6Widgets")
  message(FATAL_ERROR "ldd listed no Qt libraries for ${EXE}")
endif()
libraries_of(${BROWSER} browser)
if(NOT browser MATCHES "libQt6WebEngineWidgets")
  message(FATAL_ERROR "${BROWSER} does not link WebEngine: the check reads the wrong thing")
endif()
message(STATUS "tressik links no web engine and no Qt Quick")
