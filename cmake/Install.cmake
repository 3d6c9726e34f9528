# Installation and Debian packaging for brantor.
#
#   cmake --install build --prefix /usr/local
#   cd build && cpack -G DEB
#
# The installed program is linked with the static C++ runtime where the
# toolchain allows it, so the package needs nothing beyond the C library, zlib,
# libdeflate and libcrypto.

include(GNUInstallDirs)
include(CheckCXXSourceCompiles)

get_filename_component(BRANTOR_ROOT_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# --- Static C++ runtime ------------------------------------------------------
# Skipped for sanitizer builds: the sanitizer runtimes expect the shared
# libstdc++ and those builds are never packaged.
set(BRANTOR_STATIC_RUNTIME_FLAGS -static-libstdc++ -static-libgcc)
if(NOT BRANTOR_SANITIZE)
  set(CMAKE_REQUIRED_LINK_OPTIONS ${BRANTOR_STATIC_RUNTIME_FLAGS})
  check_cxx_source_compiles(
    "#include <string>\nint main() { std::string s(\"x\"); return static_cast<int>(s.size()) - 1; }"
    BRANTOR_HAVE_STATIC_RUNTIME)
  unset(CMAKE_REQUIRED_LINK_OPTIONS)
endif()
if(BRANTOR_HAVE_STATIC_RUNTIME)
  target_link_options(brantor PRIVATE ${BRANTOR_STATIC_RUNTIME_FLAGS})
endif()

# --- Program -----------------------------------------------------------------
install(TARGETS brantor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Installed without its symbols, as `cmake --install --strip` would do it (CPack strips the
# package's copy too); BRANTOR_STRIP=OFF keeps them.
option(BRANTOR_STRIP "Strip the installed program" ON)
if(BRANTOR_STRIP AND CMAKE_STRIP AND NOT BRANTOR_SANITIZE)
  install(CODE "execute_process(COMMAND \"${CMAKE_STRIP}\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/brantor\")")
endif()

# --- Manual page -------------------------------------------------------------
set(BRANTOR_MAN_SOURCE "${BRANTOR_ROOT_DIR}/doc/brantor.1")
set(BRANTOR_MAN_DIR "${CMAKE_INSTALL_MANDIR}/man1")
find_program(BRANTOR_GZIP gzip)
if(BRANTOR_GZIP)
  # -n leaves the name and time stamp out of the header, so the compressed
  # page is the same from build to build.
  set(BRANTOR_MAN_COPY "${CMAKE_CURRENT_BINARY_DIR}/man/brantor.1")
  set(BRANTOR_MAN_GZ "${BRANTOR_MAN_COPY}.gz")
  add_custom_command(
    OUTPUT "${BRANTOR_MAN_GZ}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/man"
    COMMAND ${CMAKE_COMMAND} -E copy "${BRANTOR_MAN_SOURCE}" "${BRANTOR_MAN_COPY}"
    COMMAND "${BRANTOR_GZIP}" -9 -n -f "${BRANTOR_MAN_COPY}"
    DEPENDS "${BRANTOR_MAN_SOURCE}"
    COMMENT "Compressing the brantor manual page"
    VERBATIM)
  add_custom_target(brantor_man ALL DEPENDS "${BRANTOR_MAN_GZ}")
  install(FILES "${BRANTOR_MAN_GZ}" DESTINATION ${BRANTOR_MAN_DIR})
else()
  install(FILES "${BRANTOR_MAN_SOURCE}" DESTINATION ${BRANTOR_MAN_DIR})
endif()

# --- Bash completion ---------------------------------------------------------
install(FILES "${BRANTOR_ROOT_DIR}/completion/brantor.bash"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME brantor)

# --- Licence and change log -------------------------------------------------
# Where Debian keeps them: the licence as the package's copyright file, the change log
# compressed the same way in every build.
set(BRANTOR_DOC_DIR "${CMAKE_INSTALL_DATADIR}/doc/brantor")
install(FILES "${BRANTOR_ROOT_DIR}/packaging/copyright" DESTINATION ${BRANTOR_DOC_DIR})
if(BRANTOR_GZIP)
  set(BRANTOR_CHANGELOG_GZ "${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz")
  add_custom_command(
    OUTPUT "${BRANTOR_CHANGELOG_GZ}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/doc"
    COMMAND ${CMAKE_COMMAND} -E copy "${BRANTOR_ROOT_DIR}/packaging/changelog"
            "${CMAKE_CURRENT_BINARY_DIR}/doc/changelog"
    COMMAND "${BRANTOR_GZIP}" -9 -n -f "${CMAKE_CURRENT_BINARY_DIR}/doc/changelog"
    DEPENDS "${BRANTOR_ROOT_DIR}/packaging/changelog"
    COMMENT "Compressing the change log"
    VERBATIM)
  add_custom_target(brantor_changelog ALL DEPENDS "${BRANTOR_CHANGELOG_GZ}")
  install(FILES "${BRANTOR_CHANGELOG_GZ}" DESTINATION ${BRANTOR_DOC_DIR})
endif()

# --- Debian package ----------------------------------------------------------
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "brantor")
set(CPACK_PACKAGE_VENDOR "The Brantor developers")
set(CPACK_PACKAGE_CONTACT "The Brantor developers <developers@brantor.invalid>")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cut pages out of PDF files into new PDF files")
# One paragraph, wrapped for the package control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "brantor copies chosen pages of a PDF document into new PDF documents:\n"
  "a list of pages and page ranges into one file, the odd or the even pages\n"
  "into one file, or the whole document cut into files of a fixed number of\n"
  "pages, or one file per bookmark. Outputs are rebuilt with dense object\n"
  "numbers and compact text, stream data copied as it is, so every output page\n"
  "looks exactly as in the source; the whole outline, pruned to the chosen\n"
  "pages, and the document information are kept.")
set(CPACK_STRIP_FILES ON)
# MIT licence (LICENSE); Debian's copyright file is packaging/copyright.
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")

set(CPACK_DEBIAN_PACKAGE_NAME "brantor")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_RESOURCE_FILE_LICENSE "${BRANTOR_ROOT_DIR}/LICENSE")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")

# Dependencies: dpkg-shlibdeps, when present, reads them off the binary and
# gives the exact minimum versions (with the static C++ runtime that is libc6,
# zlib1g, libdeflate0 and libssl3). Without it, or with a shared C++ runtime, they are spelled out.
find_program(BRANTOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(BRANTOR_DPKG_SHLIBDEPS AND BRANTOR_HAVE_STATIC_RUNTIME)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
elseif(BRANTOR_HAVE_STATIC_RUNTIME)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, zlib1g (>= 1:1.2.11), libdeflate0, libssl3")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libgcc-s1, libstdc++6, zlib1g (>= 1:1.2.11), libdeflate0, libssl3")
endif()

include(CPack)
