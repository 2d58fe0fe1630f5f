# Regenerates the art into WORK and compares it with the committed files.
# To refresh them after changing make_art.cpp: make_art ui/resources
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${MAKE_ART} ${WORK} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "make_art failed")
endif()
foreach(name app.ico about.bmp icon-48.png icon-256.png)
  file(SHA256 ${WORK}/${name} generated)
  file(SHA256 ${SOURCE}/${name} committed)
  if(NOT generated STREQUAL committed)
    message(FATAL_ERROR "${name} is out of date: run make_art ${SOURCE}")
  endif()
endforeach()
