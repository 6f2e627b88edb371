# System libraries that only the protected applications need (GDI+, OLE, the
# common dialogs and controls, the spooler, ...) are imported delay-loaded:
# a process loads one the first time the library calls into it, not when it
# loads the library. Every GUI process of the desktop loads the library
# through the global hooks; an ordinary one then pays for none of them.
#
# gatrel_delay_import(NAME target LIB name DLL file)
#   An imported static library, target, that imports DLL (the system library
#   of MinGW-w64's import library lib<LIB>.a) delay-loaded, through the
#   runtime's __delayLoadHelper2. Link it instead of <LIB>.
#
# The delay-import library is made from the import library's own symbol list
# (cmake/delay_import_def.cmake writes the module definition file), so every
# function the ordinary import library offers is there.
if(NOT WIN32)
  return()
endif()
find_program(GATREL_DLLTOOL NAMES i686-w64-mingw32-dlltool REQUIRED)
find_program(GATREL_NM NAMES ${CMAKE_NM} i686-w64-mingw32-nm REQUIRED)

function(gatrel_delay_import)
  cmake_parse_arguments(D "" "NAME;LIB;DLL" "" ${ARGN})
  find_file(_implib_${D_LIB} lib${D_LIB}.a PATHS ${CMAKE_FIND_ROOT_PATH}/lib NO_DEFAULT_PATH REQUIRED)
  set(_implib ${_implib_${D_LIB}})
  set(_dir ${CMAKE_BINARY_DIR}/delayimp)
  set(_def ${_dir}/${D_LIB}.def)
  set(_lib ${_dir}/lib${D_LIB}_delay.a)
  add_custom_command(OUTPUT ${_def}
    COMMAND ${CMAKE_COMMAND} -DNM=${GATREL_NM} -DIMPLIB=${_implib} -DDLL=${D_DLL} -DOUT=${_def}
            -P ${CMAKE_SOURCE_DIR}/cmake/delay_import_def.cmake
    DEPENDS ${_implib} ${CMAKE_SOURCE_DIR}/cmake/delay_import_def.cmake
    VERBATIM)
  add_custom_command(OUTPUT ${_lib}
    COMMAND ${GATREL_DLLTOOL} -d ${_def} -y ${_lib} -D ${D_DLL} -k
    DEPENDS ${_def}
    VERBATIM)
  add_custom_target(${D_NAME}_make DEPENDS ${_lib})
  add_library(${D_NAME} STATIC IMPORTED GLOBAL)
  set_target_properties(${D_NAME} PROPERTIES IMPORTED_LOCATION ${_lib})
  add_dependencies(${D_NAME} ${D_NAME}_make)
  set_property(GLOBAL APPEND PROPERTY GATREL_DELAY_DLLS ${D_DLL})
endfunction()
