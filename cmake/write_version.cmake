# Writes the version source: the project version, and the commit when the
# sources are a git checkout ("+g<commit>", "-dirty" with local changes).
# Run at every build; the file changes only when the version does, so an
# unchanged version compiles nothing.
# Inputs: SOURCE_DIR, OUTPUT, PROJECT_VERSION.
set(version "${PROJECT_VERSION}")
find_package(Git QUIET)
if(GIT_FOUND)
  execute_process(COMMAND "${GIT_EXECUTABLE}" rev-parse --short=12 HEAD
    WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE status
    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(status EQUAL 0 AND commit)
    set(version "${version}+g${commit}")
    execute_process(COMMAND "${GIT_EXECUTABLE}" diff-index --quiet HEAD --
      WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE dirty OUTPUT_QUIET ERROR_QUIET)
    if(NOT dirty EQUAL 0)
      set(version "${version}-dirty")
    endif()
  endif()
endif()
set(text "// Written by cmake/write_version.cmake at build time.\n#include \"driver/version.hpp\"\n\nnamespace pellimor {\n\nstd::string_view version() {\n    return \"${version}\";\n}\n\n}  // namespace pellimor\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUTPUT}" "${text}")
endif()
