# One version for every binary of the product: the project's version. Company
# and product are those of the registry key the library reads its settings
# from (HKLM\SOFTWARE\Varnek\ZELClient\1.0\Setup).
set(GATREL_COMPANY "Varnek")
set(GATREL_PRODUCT "ZELClient")
set(GATREL_VERSION ${PROJECT_VERSION})
string(REPLACE "." "," GATREL_VERSION_COMMAS ${PROJECT_VERSION})

# gatrel_version_resource(TARGET t FILE name.ext DESCRIPTION "text")
#   A VERSIONINFO resource for the target. Stand-ins say so in DESCRIPTION.
function(gatrel_version_resource)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(V "" "TARGET;FILE;DESCRIPTION" "" ${ARGN})
  get_target_property(_type ${V_TARGET} TYPE)
  if(_type STREQUAL "SHARED_LIBRARY")
    set(V_FILETYPE VFT_DLL)
  else()
    set(V_FILETYPE VFT_APP)
  endif()
  set(_rc ${CMAKE_CURRENT_BINARY_DIR}/${V_TARGET}_version.rc)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version.rc.in ${_rc} @ONLY)
  target_sources(${V_TARGET} PRIVATE ${_rc})
endfunction()
