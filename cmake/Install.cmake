# Installation and the Debian package.
#
# `cmake --install` puts the programs and the Tweaks folder side by side into the prefix (the
# program looks for Tweaks beside its executable), with the desktop entry and the icon under
# share/. Links to the programs and a copy of the desktop entry and icon go where the shell and
# desktops look: GORVANE_SYSTEM_BINDIR and GORVANE_SYSTEM_DATADIR, below /usr/local by default.
# The Debian package has the same prefix and puts those links and files below /usr instead.

include_guard(GLOBAL)

# CMake's own default, /usr/local, would spread Tweaks over /usr/local. Build folders configured
# before this file existed carry that default too, so it is replaced once there as well.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT
   OR (NOT DEFINED CACHE{_GORVANE_PREFIX_CHOSEN} AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local"))
  set(CMAKE_INSTALL_PREFIX /opt/gorvane CACHE PATH "Folder that receives Gorvane's programs and Tweaks" FORCE)
endif()
set(_GORVANE_PREFIX_CHOSEN ON CACHE INTERNAL "")
set(GORVANE_SYSTEM_BINDIR /usr/local/bin CACHE PATH
    "Where `cmake --install` links the programs to (empty: no links)")
set(GORVANE_SYSTEM_DATADIR /usr/local/share CACHE PATH
    "Where `cmake --install` puts the desktop entry and icon for desktops to find (empty: nowhere)")
set(GORVANE_PACKAGE_MAINTAINER "Halvessa Limited <packages@halvessa.invalid>" CACHE STRING
    "Maintainer field of the Debian package")

set(_gorvane_programs gorvane gorvane-reg gorvane-catalogue)
set(_gorvane_installed_programs "")
foreach(program IN LISTS _gorvane_programs)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION . COMPONENT gorvane)
    list(APPEND _gorvane_installed_programs ${program})
  endif()
endforeach()

install(DIRECTORY ${PROJECT_SOURCE_DIR}/Tweaks/ DESTINATION Tweaks COMPONENT gorvane
        FILES_MATCHING PATTERN "*.ini")

set(_gorvane_desktop ${PROJECT_SOURCE_DIR}/resources/gorvane.desktop)
set(_gorvane_icon ${PROJECT_SOURCE_DIR}/resources/gorvane.svg)
set(_gorvane_docs "")
foreach(doc README.md docs/tweak-files.md)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${doc})
    list(APPEND _gorvane_docs ${PROJECT_SOURCE_DIR}/${doc})
  endif()
endforeach()
if(_gorvane_docs)
  install(FILES ${_gorvane_docs} DESTINATION share/doc/gorvane COMPONENT gorvane)
endif()

# Desktop entry, icon and program links below DATADIR and BINDIR; the links point into the prefix
# as it is at install time, so that `cmake --install --prefix` and the package both get them right.
function(_gorvane_install_integration component bindir datadir)
  set(extra ${ARGN})
  if(datadir)
    install(FILES ${_gorvane_desktop} DESTINATION ${datadir}/applications COMPONENT ${component} ${extra})
    if(EXISTS ${_gorvane_icon})
      install(FILES ${_gorvane_icon} DESTINATION ${datadir}/icons/hicolor/scalable/apps
              COMPONENT ${component} ${extra})
    endif()
  endif()
  if(bindir AND _gorvane_installed_programs)
    install(CODE "
      foreach(program ${_gorvane_installed_programs})
        set(link \"\$ENV{DESTDIR}${bindir}/\${program}\")
        message(STATUS \"Linking: \${link} -> \${CMAKE_INSTALL_PREFIX}/\${program}\")
        file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${bindir}\")
        file(CREATE_LINK \"\${CMAKE_INSTALL_PREFIX}/\${program}\" \"\${link}\" SYMBOLIC)
        list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"${bindir}/\${program}\")
      endforeach()" COMPONENT ${component} ${extra})
  endif()
endfunction()

if(UNIX AND NOT APPLE)
  install(FILES ${_gorvane_desktop} DESTINATION share/applications COMPONENT gorvane)
  if(EXISTS ${_gorvane_icon})
    install(FILES ${_gorvane_icon} DESTINATION share/icons/hicolor/scalable/apps COMPONENT gorvane)
  endif()
  _gorvane_install_integration(system "${GORVANE_SYSTEM_BINDIR}" "${GORVANE_SYSTEM_DATADIR}")
  # Only the package asks for this one.
  _gorvane_install_integration(debian /usr/bin /usr/share EXCLUDE_FROM_ALL)

  # The machine part of the registry store lives in /var/lib/gorvane: everyone reads it, only
  # root writes it. Left alone on removal, deleted on purge.
  set(_gorvane_debian ${CMAKE_CURRENT_BINARY_DIR}/debian)
  file(WRITE ${_gorvane_debian}/postinst [[#!/bin/sh
set -e
case "$1" in
  configure)
    if dpkg-statoverride --list /var/lib/gorvane >/dev/null 2>&1; then
      mkdir -p /var/lib/gorvane
    else
      install -d -m 0755 -o root -g root /var/lib/gorvane
    fi
    ;;
esac
exit 0
]])
  file(WRITE ${_gorvane_debian}/postrm [[#!/bin/sh
set -e
case "$1" in
  purge)
    rm -rf /var/lib/gorvane
    ;;
esac
exit 0
]])

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME gorvane)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR "Halvessa Limited")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Registry tweak manager")
  set(CPACK_PACKAGING_INSTALL_PREFIX /opt/gorvane)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${GORVANE_PACKAGE_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Gorvane shows a catalogue of documented registry tweaks for Windows, Office,
web browsers and Wine, grouped by category, company and product, and lets you
apply each one and undo it later. On Linux it works on a registry store of its
own; the gorvane-reg tool looks into that store and gorvane-catalogue checks
tweak files.")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The Qt libraries come in through shlibdeps; the platform plugins are loaded at run time.
  if(TARGET gorvane)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  endif()
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${_gorvane_debian}/postinst ${_gorvane_debian}/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The program checks its own checksum at start: the packaged files must be the linked ones.
  set(CPACK_STRIP_FILES OFF)
  set(CPACK_COMPONENTS_ALL gorvane debian)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
  include(CPack)
endif()

if(GORVANE_TESTS AND TARGET gorvane-catalogue)
  add_test(NAME data.tweaks_lint COMMAND gorvane-catalogue lint ${PROJECT_SOURCE_DIR}/Tweaks)
  add_test(NAME data.tweaks_house_rules
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/tests/check-catalogue.sh $<TARGET_FILE:gorvane-catalogue>
                   ${PROJECT_SOURCE_DIR}/Tweaks)
endif()
if(GORVANE_TESTS AND UNIX AND NOT APPLE)
  set(_gorvane_program_files "")
  foreach(program IN LISTS _gorvane_installed_programs)
    list(APPEND _gorvane_program_files $<TARGET_FILE:${program}>)
  endforeach()
  add_test(NAME data.package
           COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/tests/check-package.sh ${CMAKE_BINARY_DIR}
                   ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} ${_gorvane_program_files})
  set_tests_properties(data.package PROPERTIES LABELS nosan TIMEOUT 300)
endif()
