# RE2, the regular expression library, as the target vantrel_re2: linked
# statically into every build, so the program needs no DLL of it.
#  - Cross builds: the archive that scripts/re2.sh builds from Debian's source
#    package with these toolchain files.
#  - Native builds: the archive of Debian's libre2-dev (its shared library
#    exports none of the internal classes).
#  - On Windows: the archive of MSYS2's mingw-w64-i686-re2.
# Headers come from the library's own source tree of the same version
# (scripts/re2.sh source), which also holds the internal ones that no package
# installs, such as re2/prefilter.h and re2/regexp.h.
set(VANTREL_RE2_DEPS ${PROJECT_SOURCE_DIR}/build/deps/re2)
set(VANTREL_RE2_SOURCE_DIR ${VANTREL_RE2_DEPS}/src CACHE PATH
    "RE2's source tree, of the same version as its library")
if(CMAKE_CROSSCOMPILING)
  set(VANTREL_RE2_LIBRARY ${VANTREL_RE2_DEPS}/${MINGW_TRIPLE}/lib/libre2.a CACHE FILEPATH "RE2's static library")
  set(VANTREL_RE2_INCLUDE_DIR ${VANTREL_RE2_DEPS}/${MINGW_TRIPLE}/include CACHE PATH "RE2's installed headers")
  set(re2_getting "bash scripts/re2.sh mingw ${CMAKE_SYSTEM_PROCESSOR}")
else()
  find_library(VANTREL_RE2_LIBRARY NAMES libre2.a DOC "RE2's static library")
  find_path(VANTREL_RE2_INCLUDE_DIR re2/re2.h DOC "RE2's installed headers")
  set(re2_getting "libre2-dev, or MSYS2's mingw-w64-i686-re2")
endif()
if(NOT EXISTS "${VANTREL_RE2_LIBRARY}" OR NOT EXISTS "${VANTREL_RE2_INCLUDE_DIR}/re2/re2.h")
  message(FATAL_ERROR "RE2's static library is missing (${VANTREL_RE2_LIBRARY}); it comes from: ${re2_getting}")
endif()
if(NOT EXISTS "${VANTREL_RE2_SOURCE_DIR}/re2/prefilter.h")
  message(FATAL_ERROR "RE2's source tree is missing (${VANTREL_RE2_SOURCE_DIR}): run bash scripts/re2.sh source, "
                      "or set VANTREL_RE2_SOURCE_DIR to the source of the library's version")
endif()
# The internal headers must describe the library that is linked: the public
# ones of both have to be the same files.
foreach(header re2.h set.h filtered_re2.h stringpiece.h)
  file(SHA256 "${VANTREL_RE2_INCLUDE_DIR}/re2/${header}" installed)
  file(SHA256 "${VANTREL_RE2_SOURCE_DIR}/re2/${header}" source)
  if(NOT installed STREQUAL source)
    message(FATAL_ERROR "RE2's library (${VANTREL_RE2_INCLUDE_DIR}) and its source tree (${VANTREL_RE2_SOURCE_DIR}) "
                        "are of different versions: re2/${header} differs")
  endif()
endforeach()

add_library(vantrel_re2 STATIC IMPORTED GLOBAL)
set_target_properties(vantrel_re2 PROPERTIES
  IMPORTED_LOCATION ${VANTREL_RE2_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${VANTREL_RE2_SOURCE_DIR}
  INTERFACE_LINK_LIBRARIES Threads::Threads)
