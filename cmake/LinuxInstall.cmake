# What an installation on Linux carries, and the Debian package made of it
# (scripts/package-linux). The Windows release is a folder of its own,
# made by scripts/package-windows.
#   bin/                      iap-tool, iap-cli, iap-sim
#   share/iap-tool/Skin/      the window layouts and the window's icon
#   share/iap-tool/translations/  the windows' translations (iap-tool_en.qm)
#   share/icons/hicolor/      the icon, named by the application id
#   share/applications/       the desktop entry
#   share/metainfo/           the AppStream metadata
#   share/man/man1/           the three manual pages
#   share/bash-completion/    iap-cli's options
#   /lib/udev/rules.d/        access to the common USB serial adapters
#   share/doc/iap-tool/       copyright (and the compiled-in libraries'), changelog
include(GNUInstallDirs)

# Where the project is published: the AppStream screenshots are found below
# it, and the package names it as its home page.
set(IAP_HOMEPAGE "https://iap-tool.example.org" CACHE STRING "The project's web address")
set(IAP_CONTACT "IAP Tool developers <iap-tool@example.org>" CACHE STRING "The package's maintainer")
option(IAP_REQUIRE_MANPAGES "Fail when help2man is missing (packages must carry every manual page)" OFF)

set(linux ${CMAKE_SOURCE_DIR}/packaging/linux)
set(gen ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${gen})
# Whatever the umask of the machine that builds the package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(IAP_PROGRAMS iap-cli iap-sim)
if(IAP_WITH_QT)
  list(PREPEND IAP_PROGRAMS iap-tool)
endif()
install(TARGETS ${IAP_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(IAP_WITH_QT)
  # An installed iap-tool finds them as ../share/iap-tool/Skin from its bin.
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/Skin/ DESTINATION ${CMAKE_INSTALL_DATADIR}/iap-tool/Skin
          FILES_MATCHING PATTERN "*.xml" PATTERN "icon108-*.png")
  # And their translations as ../share/iap-tool/translations.
  get_property(IAP_QM_FILES GLOBAL PROPERTY IAP_QM_FILES)
  install(FILES ${IAP_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/iap-tool/translations)
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${CMAKE_SOURCE_DIR}/Skin/icon108-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${IAP_APP_ID}.png)
  endforeach()
  install(FILES ${CMAKE_SOURCE_DIR}/Skin/icon108.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${IAP_APP_ID}.svg)
  configure_file(${linux}/app.desktop.in ${gen}/${IAP_APP_ID}.desktop @ONLY)
  install(FILES ${gen}/${IAP_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

  # The adapters of the udev rule are the hardware the metadata says the
  # program serves.
  file(STRINGS ${linux}/70-iap-tool.rules rules REGEX "ATTRS{idVendor}")
  set(IAP_MODALIASES "")
  foreach(line IN LISTS rules)
    string(REGEX MATCH "idVendor}==\"([0-9a-f]+)\", ATTRS{idProduct}==\"([0-9a-f]+)\"" match "${line}")
    string(TOUPPER "${CMAKE_MATCH_1}" vendor)
    string(TOUPPER "${CMAKE_MATCH_2}" product)
    string(APPEND IAP_MODALIASES "    <modalias>usb:v${vendor}p${product}d*</modalias>\n")
  endforeach()
  string(STRIP "${IAP_MODALIASES}" IAP_MODALIASES)
  set(IAP_MODALIASES "    ${IAP_MODALIASES}")
  configure_file(${linux}/app.metainfo.xml.in ${gen}/${IAP_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${gen}/${IAP_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Manual pages, compressed as Debian wants them: iap-tool's is written by
# hand, iap-cli's and iap-sim's are made from their --help by help2man, in
# English whatever the builder's locale.
find_program(IAP_HELP2MAN help2man)
find_program(IAP_GZIP gzip REQUIRED)
if(IAP_REQUIRE_MANPAGES AND NOT IAP_HELP2MAN)
  message(FATAL_ERROR "help2man is needed for the manual pages of iap-cli and iap-sim")
endif()
set(pages "")
if(IAP_WITH_QT)
  configure_file(${linux}/iap-tool.1.in ${gen}/iap-tool.1 @ONLY)
  add_custom_command(OUTPUT ${gen}/iap-tool.1.gz
    COMMAND ${IAP_GZIP} -9nf -k ${gen}/iap-tool.1
    DEPENDS ${gen}/iap-tool.1)
  list(APPEND pages ${gen}/iap-tool.1.gz)
endif()
if(IAP_HELP2MAN)
  set(iap-cli_name "update a radar detector over its serial port, from a terminal")
  set(iap-sim_name "a virtual radar detector on a pseudo-terminal, for trying and testing the updaters")
  foreach(program iap-cli iap-sim)
    add_custom_command(OUTPUT ${gen}/${program}.1.gz
      COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8
              ${IAP_HELP2MAN} --no-info --section=1 --name=${${program}_name}
              --output=${gen}/${program}.1 $<TARGET_FILE:${program}>
      COMMAND ${IAP_GZIP} -9nf ${gen}/${program}.1
      DEPENDS ${program})
    list(APPEND pages ${gen}/${program}.1.gz)
  endforeach()
else()
  message(STATUS "help2man not found: iap-cli and iap-sim are installed without manual pages")
endif()
add_custom_target(iap_manpages ALL DEPENDS ${pages})
install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES ${linux}/iap-cli.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME iap-cli)

# Debian 12 reads a package's rules from /lib/udev; any other prefix keeps
# them below itself.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(IAP_UDEV_RULES_DIR /lib/udev/rules.d)
else()
  set(IAP_UDEV_RULES_DIR ${CMAKE_INSTALL_LIBDIR}/udev/rules.d)
endif()
install(FILES ${linux}/70-iap-tool.rules DESTINATION ${IAP_UDEV_RULES_DIR})

# The package's own documents: its copyright in the machine-readable form
# and its changelog, both where Debian's tools look for them.
execute_process(COMMAND date -u -R -d "${IAP_RELEASE_DATE} 12:00" OUTPUT_VARIABLE IAP_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${linux}/changelog.in ${gen}/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${gen}/changelog.Debian.gz
  COMMAND ${IAP_GZIP} -9nf -k ${gen}/changelog.Debian
  DEPENDS ${gen}/changelog.Debian)
add_custom_target(iap_changelog ALL DEPENDS ${gen}/changelog.Debian.gz)
install(FILES ${linux}/copyright ${gen}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/iap-tool)
# The header-only libraries compiled into the programs keep their own
# licences: their copyright files as Debian records them, beside ours.
foreach(library libcli11-dev nlohmann-json3-dev libutfcpp-dev)
  install(FILES /usr/share/doc/${library}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/iap-tool
          RENAME copyright.${library})
endforeach()
install(FILES ${linux}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME iap-tool)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME iap-tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${IAP_CONTACT}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "update a radar detector over its serial port")
set(CPACK_PACKAGE_DESCRIPTION "IAP Tool brings an in-car radar detector with a GPS speed-camera
database up to date. It finds the device on a serial port by itself,
shows its versions beside those of the update files, and writes the main
firmware, the camera database, the sound data, the radar firmware and the
device menu stage by stage, with the running stage, a percentage and the
elapsed time on screen. It never sends a damaged file.
.
The package holds the window (iap-tool), a terminal updater for scripts
and service benches (iap-cli), and a virtual device on a pseudo-terminal
for trying both without hardware (iap-sim). A udev rule lets the user
logged in at the computer open the common USB serial adapters.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${IAP_HOMEPAGE})
# The libraries from what the programs link; the platform plugins and the
# fonts are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
# The device menu's Chinese region names.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${linux}/strip-sections.cmake)
include(CPack)
