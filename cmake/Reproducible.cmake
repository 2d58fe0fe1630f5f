# Two builds of one commit give the same bytes: every time stamp in the
# release is the time of the last commit (SOURCE_DATE_EPOCH, taken from git
# unless given in the environment), and no build folder leaks into it.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(RATECALC_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE RATECALC_SOURCE_DATE_EPOCH
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    # A new commit or checkout configures again, so the stamp follows it.
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --path-format=absolute
                            --git-path logs/HEAD
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE git_head_log
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(EXISTS "${git_head_log}")
      set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${git_head_log})
    endif()
  endif()
endif()
if(NOT RATECALC_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(WARNING "No git history and no SOURCE_DATE_EPOCH: release time stamps are 1980-01-01")
  set(RATECALC_SOURCE_DATE_EPOCH 315532800)
endif()

# Whatever carries the stamp depends on this file, rewritten only when the
# stamp changes, so that a build after a new commit matches a clean one.
set(RATECALC_SOURCE_DATE_FILE ${PROJECT_BINARY_DIR}/source_date_epoch.txt)
file(CONFIGURE OUTPUT ${RATECALC_SOURCE_DATE_FILE} CONTENT "${RATECALC_SOURCE_DATE_EPOCH}\n")

# The linker writes the PE header's time stamp from SOURCE_DATE_EPOCH.
set(CMAKE_C_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${RATECALC_SOURCE_DATE_EPOCH})
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_C_LINKER_LAUNCHER})
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
