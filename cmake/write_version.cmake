# SPDX-License-Identifier: GPL-3.0-or-later
# Run at every build (cmake -P): writes the version a campaign records into OUT,
# the release BASE and, when SOURCE is a git checkout, its commit as it is now
# ("-dirty" when tracked files were changed). OUT is rewritten only when the text
# changes.
set(version ${BASE})
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND ${GIT_EXECUTABLE} describe --always --dirty
                  WORKING_DIRECTORY ${SOURCE} OUTPUT_VARIABLE described
                  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status ERROR_QUIET)
  if(status EQUAL 0 AND described)
    set(version "${BASE}+${described}")
  endif()
endif()
file(CONFIGURE OUTPUT ${OUT} CONTENT "${version}\n")
