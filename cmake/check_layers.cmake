# Fails when a file of the library includes a header of a layer above its own,
# or when a guard includes another guard. Run as: cmake -DSRC=<source root> -P
# check_layers.cmake. Layers, lowest first (a file may include its own layer
# and the ones below):
#   0 support  1 store  2 host/process_context  3 intercept  4 identify
#   5 watermark  6 guards/<guard>  7 wndctl  8 host (the rest)
#
# Every file under the library's folders is read, whatever its name: a header
# may be included under any name. Each include is read as the compiler reads
# it: comments and line continuations taken out, "#" or "%:", both the quoted
# and the angle-bracket form. Its path is resolved as the compiler resolves it
# (a quoted one against the including file's folder first, then the source
# root; an angle-bracket one against the source root) and normalised, so
# "store/../guards/x.h" is a guard's header. An angle-bracket path that is no
# file of the source tree is a system header. An include whose operand is
# neither form (a macro) cannot be checked, and is refused.
#
# Includes are not the only way across: cmake/GatrelLayers.cmake links every
# layer alone against its declared links, so that a call without an include
# fails too.
cmake_minimum_required(VERSION 3.20)

function(layer_of path out_rank out_guard)
  set(guard "")
  if(path MATCHES "^support/")
    set(rank 0)
  elseif(path MATCHES "^store/")
    set(rank 1)
  elseif(path MATCHES "^host/process_context\\.")
    set(rank 2)
  elseif(path MATCHES "^intercept/")
    set(rank 3)
  elseif(path MATCHES "^identify/")
    set(rank 4)
  elseif(path MATCHES "^watermark/")
    set(rank 5)
  elseif(path MATCHES "^guards/([^/]+)/")
    set(rank 6)
    set(guard ${CMAKE_MATCH_1})
  elseif(path MATCHES "^wndctl/")
    set(rank 7)
  elseif(path MATCHES "^host/")
    set(rank 8)
  else()
    set(rank -1)
  endif()
  set(${out_rank} ${rank} PARENT_SCOPE)
  set(${out_guard} "${guard}" PARENT_SCOPE)
endfunction()

# The file that `inc` names, relative to the source root (symbolic links
# followed); "" when it is no file of the source tree, "<outside>" when it
# lies beside the tree.
function(resolve_include root dir inc out)
  set(found "")
  foreach(base ${dir} ${root})
    cmake_path(ABSOLUTE_PATH inc BASE_DIRECTORY "${base}" NORMALIZE OUTPUT_VARIABLE candidate)
    if(EXISTS "${candidate}" AND NOT IS_DIRECTORY "${candidate}")
      file(REAL_PATH "${candidate}" real)
      cmake_path(IS_PREFIX root "${real}" NORMALIZE inside)
      if(inside)
        file(RELATIVE_PATH found "${root}" "${real}")
      else()
        set(found "<outside>")
      endif()
      break()
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The include directives of a file's text, one per list element, with
# comments and line continuations taken out first.
function(include_directives text out)
  string(REPLACE "\r" "" text "${text}")
  string(REPLACE "\\\n" "" text "${text}")
  # List separators and brackets would cut the text apart below.
  string(REPLACE ";" " " text "${text}")
  string(REPLACE "[" "<" text "${text}")
  string(REPLACE "]" ">" text "${text}")
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" " " text "${text}")
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX MATCHALL "(^|\n)[ \t]*(#|%:)[ \t]*(include_next|include|import)[^\n]*" found "${text}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

file(REAL_PATH "${SRC}" root)
set(folders support store host intercept identify watermark guards wndctl)
set(globs "")
foreach(folder ${folders})
  list(APPEND globs "${root}/${folder}/*")
endforeach()
file(GLOB_RECURSE files RELATIVE "${root}" ${globs})
set(violations "")
set(checked 0)
foreach(f ${files})
  # The build's own files are read by CMake, never by the compiler.
  if(f MATCHES "(^|/)CMakeLists\\.txt$")
    continue()
  endif()
  layer_of(${f} from from_guard)
  get_filename_component(dir "${root}/${f}" DIRECTORY)
  file(READ "${root}/${f}" text)
  include_directives("${text}" directives)
  foreach(line ${directives})
    string(STRIP "${line}" line)
    math(EXPR checked "${checked} + 1")
    if(line MATCHES "(include_next|include|import)[ \t]*\"([^\"]*)\"")
      set(inc "${CMAKE_MATCH_2}")
      set(quoted TRUE)
    elseif(line MATCHES "(include_next|include|import)[ \t]*<([^>]*)>")
      set(inc "${CMAKE_MATCH_2}")
      set(quoted FALSE)
    else()
      list(APPEND violations "${f}: \"${line}\" names its header through a macro, which this check cannot follow")
      continue()
    endif()
    string(REPLACE "\\" "/" inc "${inc}")
    if(quoted)
      resolve_include("${root}" "${dir}" "${inc}" target)
    else()
      resolve_include("${root}" "" "${inc}" target)
      if(target STREQUAL "")
        continue()  # a system header
      endif()
    endif()
    if(target STREQUAL "" OR target STREQUAL "<outside>")
      list(APPEND violations "${f}: includes ${inc}, which is no file of the library's folders")
      continue()
    endif()
    layer_of(${target} to to_guard)
    if(to EQUAL -1)
      list(APPEND violations "${f}: includes ${inc} (${target}), which is outside the library's folders")
    elseif(to GREATER from)
      list(APPEND violations "${f}: includes ${inc} (${target}), a layer above its own")
    elseif(to EQUAL 6 AND from EQUAL 6 AND NOT to_guard STREQUAL from_guard)
      list(APPEND violations "${f}: includes ${inc} (${target}), another guard")
    endif()
  endforeach()
endforeach()
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "Includes against the layers:\n  ${text}")
endif()
message(STATUS "layers: ${checked} includes checked, none reaches up")
