# The library is built from one static library per folder, linked downwards
# only:
#   support <- store <- process context (host/process_context) <- intercept
#   <- identify <- watermark <- guards/* <- wndctl <- host
# cmake/check_layers.cmake checks the includes against the same order; the
# test command runs it (layers_test). An include is not the only way across:
# a function declared by hand can be called without one. So each layer is
# also linked alone, with only its declared links, into a library of its own
# (gatrel_layer_links below): a call into a layer it does not link is an
# undefined symbol, and the build fails.
#
# gatrel_layer(NAME n SOURCES ... [LINKS ...])
#   One folder's library, made of that folder's files only. Everything it is
#   made of goes into Gatrel.dll.
function(gatrel_layer)
  cmake_parse_arguments(L "" "NAME" "SOURCES;LINKS" ${ARGN})
  foreach(_src ${L_SOURCES})
    cmake_path(ABSOLUTE_PATH _src BASE_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR} NORMALIZE OUTPUT_VARIABLE _abs)
    cmake_path(IS_PREFIX CMAKE_CURRENT_SOURCE_DIR "${_abs}" NORMALIZE _inside)
    if(NOT _inside)
      message(FATAL_ERROR "${L_NAME}: ${_src} is not a file of ${CMAKE_CURRENT_SOURCE_DIR}")
    endif()
  endforeach()
  add_library(${L_NAME} STATIC ${L_SOURCES})
  target_include_directories(${L_NAME} PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_definitions(${L_NAME} PUBLIC GATREL_BUILD)
  target_link_libraries(${L_NAME} PUBLIC ${L_LINKS})
  set_property(GLOBAL APPEND PROPERTY GATREL_LAYER_LIBS ${L_NAME})
endfunction()

# Gatrel.dll: the entry point and, whole, every layer library (exported
# symbols are referenced by nobody inside the library).
function(gatrel_shared_library)
  get_property(_layers GLOBAL PROPERTY GATREL_LAYER_LIBS)
  add_library(Gatrel SHARED ${CMAKE_SOURCE_DIR}/host/dll_main.cpp)
  set_target_properties(Gatrel PROPERTIES PREFIX "" OUTPUT_NAME Gatrel)
  # Programs that link the library find its headers from the source root.
  target_include_directories(Gatrel PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(Gatrel PRIVATE -Wl,--whole-archive ${_layers} -Wl,--no-whole-archive)
  target_link_options(Gatrel PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup)
  gatrel_version_resource(TARGET Gatrel FILE Gatrel.dll
    DESCRIPTION "ZELClient document protection: in-process enforcement library")
  # What ships is optimised and stripped; its debug information goes into
  # Gatrel.dll.debug beside it, which the stripped file names (debug link).
  # Tests run against the stripped file.
  # First, while the symbols are there, every import slot is checked filled.
  find_program(GATREL_OBJCOPY NAMES ${CMAKE_OBJCOPY} i686-w64-mingw32-objcopy REQUIRED)
  find_program(GATREL_OBJDUMP NAMES ${CMAKE_OBJDUMP} i686-w64-mingw32-objdump REQUIRED)
  add_custom_command(TARGET Gatrel POST_BUILD
    COMMAND ${CMAKE_COMMAND} -DNM=${GATREL_NM} -DOBJDUMP=${GATREL_OBJDUMP} -DMODULE=$<TARGET_FILE:Gatrel>
            -P ${CMAKE_SOURCE_DIR}/cmake/check_import_slots.cmake
    COMMAND ${GATREL_OBJCOPY} --only-keep-debug $<TARGET_FILE:Gatrel> $<TARGET_FILE:Gatrel>.debug
    COMMAND ${GATREL_OBJCOPY} --strip-debug --strip-unneeded $<TARGET_FILE:Gatrel>
    COMMAND ${CMAKE_COMMAND} -E chdir $<TARGET_FILE_DIR:Gatrel>
            ${GATREL_OBJCOPY} --add-gnu-debuglink=$<TARGET_FILE_NAME:Gatrel>.debug $<TARGET_FILE_NAME:Gatrel>
    VERBATIM)
  install(TARGETS Gatrel RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
  install(FILES $<TARGET_FILE:Gatrel>.debug DESTINATION bin)
  # Everything in one archive list, for test programs that link the library's
  # code statically (their own copy of the shared section).
  add_library(gatrel_core INTERFACE)
  target_link_libraries(gatrel_core INTERFACE ${_layers})
  gatrel_layer_links(${_layers})
endfunction()

# Each layer, whole, in a DLL of its own with nothing but its declared links
# (and theirs): a PE image cannot keep an undefined symbol, so a call into a
# layer that is not linked fails the build. Built with everything else; the
# libraries go to lib/layers and are used by nobody.
function(gatrel_layer_links)
  set(_empty ${CMAKE_BINARY_DIR}/layer_alone.cpp)
  if(NOT EXISTS ${_empty})
    file(WRITE ${_empty} "// A library made of one layer alone (cmake/GatrelLayers.cmake).\n")
  endif()
  foreach(_layer ${ARGN})
    add_library(${_layer}_alone SHARED ${_empty})
    set_target_properties(${_layer}_alone PROPERTIES PREFIX ""
      LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/layers
      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/layers
      ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib/layers)
    target_link_libraries(${_layer}_alone PRIVATE -Wl,--whole-archive ${_layer} -Wl,--no-whole-archive)
    target_link_options(${_layer}_alone PRIVATE -static -static-libgcc -static-libstdc++
                        -Wl,--no-undefined -Wl,--enable-stdcall-fixup)
  endforeach()
endfunction()
