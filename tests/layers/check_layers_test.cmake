# Runs cmake/check_layers.cmake on small trees, each hiding one include that
# reaches a layer above its own (or another guard) in a way a plain reading of
# quoted includes misses. Every such tree must fail, naming the file; the tree
# of allowed includes must pass. Run as:
#   cmake -DCHECK=<check_layers.cmake> -DWORK=<scratch folder> -P check_layers_test.cmake
cmake_minimum_required(VERSION 3.20)

set(failures "")

# A tree with the headers every case may reach, plus the given files
# (alternating relative path and text).
function(make_tree name)
  set(tree "${WORK}/${name}")
  file(REMOVE_RECURSE "${tree}")
  file(WRITE "${tree}/support/text.h" "#pragma once\n")
  file(WRITE "${tree}/store/record.h" "#pragma once\n#include \"support/text.h\"\n")
  file(WRITE "${tree}/guards/print/job.h" "#pragma once\n")
  file(WRITE "${tree}/guards/file/save.h" "#pragma once\n")
  file(WRITE "${tree}/tests/fixture.h" "#pragma once\n")
  set(args ${ARGN})
  while(args)
    list(POP_FRONT args path text)
    file(WRITE "${tree}/${path}" "${text}")
  endwhile()
endfunction()

function(run_check name out_result out_output)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSRC=${WORK}/${name} -P ${CHECK}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${out_result} ${result} PARENT_SCOPE)
  set(${out_output} "${output}" PARENT_SCOPE)
endfunction()

# The tree must be refused, with `expect` in the check's report.
function(expect_refused name expect)
  make_tree(${name} ${ARGN})
  run_check(${name} result output)
  string(FIND "${output}" "${expect}" at)
  if(result EQUAL 0 OR at EQUAL -1)
    set(failures "${failures}\n  ${name}: not refused with \"${expect}\" (exit ${result}):\n${output}" PARENT_SCOPE)
  endif()
endfunction()

function(expect_passed name)
  make_tree(${name} ${ARGN})
  run_check(${name} result output)
  if(NOT result EQUAL 0)
    set(failures "${failures}\n  ${name}: refused (exit ${result}):\n${output}" PARENT_SCOPE)
  endif()
endfunction()

set(up "a layer above its own")

expect_refused(dot_dot_from_root "store/x.cpp: includes store/../guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "#include \"store/../guards/print/job.h\"\n")
expect_refused(dot_dot_from_folder "store/x.cpp: includes ../guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "#include \"../guards/print/job.h\"\n")
expect_refused(angle_brackets "store/x.cpp: includes guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "#include <guards/print/job.h>\n")
expect_refused(macro "store/x.cpp: \"#include JOB_HEADER\" names its header through a macro"
  store/x.cpp "#define JOB_HEADER \"guards/print/job.h\"\n#include JOB_HEADER\n")
expect_refused(other_extension "store/part.inl: includes guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "#include \"part.inl\"\n"
  store/part.inl "#include \"guards/print/job.h\"\n")
expect_refused(no_extension "store/parts/job: includes guards/print/job.h (guards/print/job.h), ${up}"
  store/parts/job "  #  include \"guards/print/job.h\"\n")
expect_refused(digraph "store/x.cpp: includes guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "%:include \"guards/print/job.h\"\n")
expect_refused(continued_line "store/x.cpp: includes guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "#inc\\\nlude \"guards/print/job.h\"\n")
expect_refused(after_comment "store/x.cpp: includes guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "/* the job */ #include \"guards/print/job.h\"\n")
expect_refused(backslashes "store/x.cpp: includes store/../guards/print/job.h (guards/print/job.h), ${up}"
  store/x.cpp "#include \"store\\..\\guards\\print\\job.h\"\n")
expect_refused(another_guard "guards/print/x.cpp: includes ../file/save.h (guards/file/save.h), another guard"
  guards/print/x.cpp "#include \"../file/save.h\"\n")
expect_refused(outside_folders "store/x.cpp: includes ../tests/fixture.h (tests/fixture.h), which is outside"
  store/x.cpp "#include \"../tests/fixture.h\"\n")
expect_refused(missing "store/x.cpp: includes store/absent.h, which is no file"
  store/x.cpp "#include \"store/absent.h\"\n")

# Allowed: the file's own folder, layers below, system headers, includes
# that are only text in a comment.
expect_passed(allowed
  store/x.cpp "#include <windows.h>\n#include <string>\n#include \"record.h\"\n#include \"support/text.h\"\n// #include \"guards/print/job.h\"\n/*\n#include \"guards/print/job.h\"\n*/\n"
  guards/print/y.cpp "#include \"guards/print/job.h\"\n#include <store/record.h>\n")

if(failures)
  message(FATAL_ERROR "The layer check let through:${failures}")
endif()
message(STATUS "layer check: every crafted tree refused, the allowed one passed")
