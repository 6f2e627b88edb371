# Test helpers shared by every tests/ folder.
#
# gatrel_wine_test(NAME n SOURCES ... [LIBS ...] [LOCKS ...] [SERIAL] [TIMEOUT s] [ARGS ...])
#   A GoogleTest program built for Windows and run under Wine with the build
#   tree's private prefix. LOCKS names the global state the test touches:
#     gatrel_section  the shared section of bin/Gatrel.dll
#     clipboard       the desktop's clipboard
#     global_hooks    desktop-wide window hooks (every GUI process is affected);
#                     a protected application (word processor, spreadsheet,
#                     presentation, PDF, KORB client) with the library loaded
#                     installs them from its watch thread on its desktop
#     daemon          the daemon stand-in and its mutex; a protected application
#                     with the library loaded starts the daemon when it is gone
#     printers        the prefix's print queues
#     protected_area  the installation's ZELFILETEMP (with PROTECTPATH) and
#                     ZELCLIENTDOC folders
#   Tests sharing a lock never run at the same time. SERIAL runs the test alone.
#
# gatrel_wine_test_run(NAME n PROGRAM target [ENV k=v ...] [LOCKS ...] [TIMEOUT s] [ARGS ...])
#   One more run of a gatrel_wine_test program under its own name, with its
#   own arguments and extra environment (LANG, LOCPATH: Wine takes the ANSI
#   code page from the Unix locale).
#
# gatrel_native_test(NAME n SOURCES ... [LIBS ...] [TIMEOUT s])
#   A GoogleTest program for the host machine (pure code only).

set(GATREL_DEFAULT_TIMEOUT 180)

function(gatrel_wine_test)
  cmake_parse_arguments(T "SERIAL" "NAME;TIMEOUT" "SOURCES;LIBS;LOCKS;ARGS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gtest_main)
  target_link_options(${T_NAME} PRIVATE -static)
  gatrel_wine_test_run(NAME ${T_NAME} PROGRAM ${T_NAME} TIMEOUT ${T_TIMEOUT} LOCKS ${T_LOCKS} ARGS ${T_ARGS})
  if(T_SERIAL)
    set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()

function(gatrel_wine_test_run)
  cmake_parse_arguments(T "" "NAME;PROGRAM;TIMEOUT" "ENV;LOCKS;ARGS" ${ARGN})
  add_test(NAME ${T_NAME} COMMAND ${T_PROGRAM} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${GATREL_DEFAULT_TIMEOUT})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "WINEPREFIX=${GATREL_WINEPREFIX};GATREL_BIN=${GATREL_BIN_DIR};GATREL_ROOT=${GATREL_ROOT_DIR};${T_ENV}")
  if(T_LOCKS)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK "${T_LOCKS}")
  endif()
endfunction()

function(gatrel_native_test)
  cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;ARGS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} gtest gtest_main)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} ${T_ARGS})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT ${GATREL_DEFAULT_TIMEOUT})
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# Adds every subfolder of the calling folder that has a CMakeLists.txt, so an
# area adds its own folder without editing the parent.
function(gatrel_add_subfolders)
  file(GLOB _entries LIST_DIRECTORIES true ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(_e ${_entries})
    if(IS_DIRECTORY ${_e} AND EXISTS ${_e}/CMakeLists.txt)
      add_subdirectory(${_e})
    endif()
  endforeach()
endfunction()
