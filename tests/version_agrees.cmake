# The project's version is set once, by project(VERSION) in CMakeLists.txt;
# the build passes it to the code. The files that cannot take it from the
# build (the npm and Python packages' metadata, the Debian changelog, the
# manual pages) must say the same, which this checks.
# cmake -DVERSION=1.11 -DROOT=<source dir> -P version_agrees.cmake
set(_expected
  "bindings/js/package.json|\"version\": \"${VERSION}.0\""
  "bindings/js/package-lock.json|\"name\": \"quorin\",\n  \"version\": \"${VERSION}.0\""
  "pyproject.toml|version = \"${VERSION}.0\""
  "bindings/python/pyproject.toml|version = \"${VERSION}.0\""
  "cmake/debian/changelog|quorin (${VERSION}.0-1)"
  "docs/man/quorin.1|\"quorin ${VERSION}\""
  "docs/man/quorin-palette.1|\"quorin ${VERSION}\"")
set(_wrong 0)
foreach(_entry IN LISTS _expected)
  string(FIND "${_entry}" "|" _bar)
  string(SUBSTRING "${_entry}" 0 ${_bar} _file)
  math(EXPR _bar "${_bar} + 1")
  string(SUBSTRING "${_entry}" ${_bar} -1 _text)
  file(READ "${ROOT}/${_file}" _content)
  string(FIND "${_content}" "${_text}" _at)
  if(_at EQUAL -1)
    message(SEND_ERROR "${_file} does not say ${_text} (the project is at ${VERSION})")
    set(_wrong 1)
  endif()
endforeach()
if(NOT _wrong)
  message(STATUS "every file names version ${VERSION}")
endif()
