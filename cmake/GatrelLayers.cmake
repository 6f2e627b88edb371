# The library is built from one static library per folder, linked downwards
# only:
#   support <- store <- process context (host/process_context) <- intercept
#   <- identify <- watermark <- guards/* <- wndctl <- host
# cmake/check_layers.cmake checks the includes against the same order; the
# test command runs it (layers_test).
#
# gatrel_layer(NAME n SOURCES ... [LINKS ...])
#   One folder's library. Everything it is made of goes into Gatrel.dll.
function(gatrel_layer)
  cmake_parse_arguments(L "" "NAME" "SOURCES;LINKS" ${ARGN})
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
  find_program(GATREL_OBJCOPY NAMES ${CMAKE_OBJCOPY} i686-w64-mingw32-objcopy REQUIRED)
  add_custom_command(TARGET Gatrel POST_BUILD
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
endfunction()
