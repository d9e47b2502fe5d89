# SPDX-License-Identifier: MIT
# What the Debian packages install, and CPack's settings to build them:
# `cpack --config build/CPackConfig.cmake` (scripts/package) writes orvane_<version>_<arch>.deb
# and, where the KWin effect is built, orvane-kwin-effect_<version>_<arch>.deb.

set(ORVANE_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(ORVANE_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)
set(ORVANE_ICON_SIZES 16 22 24 32 48 64 128 256 512)
string(TOLOWER ${PROJECT_NAME} ORVANE_PACKAGE)

# The icon's bitmaps come from its SVG; the man page and changelog are compressed the way
# Debian keeps them, without a timestamp so that the package is the same at every build.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
find_program(GZIP gzip REQUIRED)
set(ORVANE_PACKAGE_FILES)
foreach(size IN LISTS ORVANE_ICON_SIZES)
  set(png ${ORVANE_PACKAGING_OUT}/icons/${size}/app.orvane.Orvane.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANE_PACKAGING_OUT}/icons/${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
      ${ORVANE_PACKAGING}/app.orvane.Orvane.svg
    DEPENDS ${ORVANE_PACKAGING}/app.orvane.Orvane.svg VERBATIM)
  list(APPEND ORVANE_PACKAGE_FILES ${png})
endforeach()
foreach(pair orvane.1:orvane.1.gz changelog:changelog.gz)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 in)
  list(GET pair 1 out)
  add_custom_command(OUTPUT ${ORVANE_PACKAGING_OUT}/${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANE_PACKAGING_OUT}
    COMMAND sh -c "${GZIP} -9n < \"$1\" > \"$2\"" sh ${ORVANE_PACKAGING}/${in}
      ${ORVANE_PACKAGING_OUT}/${out}
    DEPENDS ${ORVANE_PACKAGING}/${in} VERBATIM)
  list(APPEND ORVANE_PACKAGE_FILES ${ORVANE_PACKAGING_OUT}/${out})
endforeach()
add_custom_target(orvane_package_files ALL DEPENDS ${ORVANE_PACKAGE_FILES})

# Everything but the KWin effect is the program's package.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME main)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
  GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS orvane RUNTIME DESTINATION bin)
# CPACK_STRIP_FILES strips the symbols; the compiler's notes go too, as dh_strip does.
install(CODE [[
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
      "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/orvane" COMMAND_ERROR_IS_FATAL ANY)
  endif()
]])
# The whole offset table read-only, as Debian's hardened builds have it.
target_link_options(orvane PRIVATE -Wl,-z,relro,-z,now)
install(FILES ${ORVANE_PACKAGING}/app.orvane.Orvane.desktop DESTINATION share/applications)
install(FILES ${ORVANE_PACKAGING}/app.orvane.Orvane.metainfo.xml DESTINATION share/metainfo)
install(FILES ${ORVANE_PACKAGING}/app.orvane.Orvane.svg
  DESTINATION share/icons/hicolor/scalable/apps)
foreach(size IN LISTS ORVANE_ICON_SIZES)
  install(FILES ${ORVANE_PACKAGING_OUT}/icons/${size}/app.orvane.Orvane.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
# udev reads /usr/lib/udev/rules.d, not the library folder of GNUInstallDirs.
install(FILES ${ORVANE_PACKAGING}/70-orvane.rules DESTINATION lib/udev/rules.d)
install(FILES ${ORVANE_PACKAGING_OUT}/orvane.1.gz DESTINATION share/man/man1)
install(FILES ${ORVANE_PACKAGING}/copyright ${ORVANE_PACKAGING_OUT}/changelog.gz
  DESTINATION share/doc/${ORVANE_PACKAGE})

# The KWin effect goes where that KWin's Qt looks for plug-ins; KWin loads only a plug-in
# built for its own version, so the package asks for exactly that KWin (Debian's
# kwin-common; without dpkg there is no package of it).
set(CPACK_COMPONENTS_ALL main)
if(TARGET orvanefold)
  if(ORVANE_KWIN_VERSION EQUAL 6)
    set(kwin_plugins ${QT6_INSTALL_PLUGINS})
  else()
    get_target_property(qmake Qt5::qmake IMPORTED_LOCATION)
    execute_process(COMMAND ${qmake} -query QT_INSTALL_PLUGINS OUTPUT_VARIABLE kwin_plugins
      OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE "^/usr/" "" kwin_plugins ${kwin_plugins})
  endif()
  install(TARGETS orvanefold LIBRARY DESTINATION ${kwin_plugins}/kwin/effects/plugins
    COMPONENT kwineffect)
  install(FILES ${ORVANE_PACKAGING}/copyright ${ORVANE_PACKAGING_OUT}/changelog.gz
    DESTINATION share/doc/${ORVANE_PACKAGE}-kwin-effect COMPONENT kwineffect)
  execute_process(COMMAND dpkg-query -W "-f=\${Version}" kwin-common OUTPUT_VARIABLE kwin_deb
    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  string(REGEX MATCH "^([0-9]+:)?([0-9]+)\\.([0-9]+)\\.([0-9]+)" kwin_upstream "${kwin_deb}")
  if(kwin_upstream)
    math(EXPR kwin_next "${CMAKE_MATCH_4} + 1")
    set(kwin_epoch ${CMAKE_MATCH_1})
    set(kwin_range "kwin-common (>= ${kwin_upstream}~), kwin-common (<< ${kwin_epoch}${CMAKE_MATCH_2}.${CMAKE_MATCH_3}.${kwin_next}~)")
    list(APPEND CPACK_COMPONENTS_ALL kwineffect)
  else()
    message(WARNING "kwin-common's version is not known: no orvane-kwin-effect package")
  endif()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME ${ORVANE_PACKAGE})
set(CPACK_PACKAGE_VENDOR "The Orvane team")
# Each package's description starts with its own synopsis line; CPack would put the one
# project summary before every package's.
# CPack indents each line and marks the empty one; Debian wants lines under 80 columns.
string(JOIN "\n" CPACK_DEBIAN_MAIN_DESCRIPTION
  "fold the screen with the laptop lid"
  "On laptops whose lid reports its opening angle, Orvane draws the live"
  "desktop as a sheet of paper or glass that bends away from the hinge and"
  "recedes while the lid closes, frame by frame, and clears when the lid rests."
  ""
  "A Cover keeps a half-closed lid frosted under a veil or a clock, an"
  "accordion plays while the lid moves, and the effect pauses itself in sleep,"
  "on the lock screen, in Low Power Mode and while listed apps are in front."
  "It lives in the status area of an X11 session, or of KDE Plasma on Wayland"
  "with orvane-kwin-effect, with a settings window, a welcome window and"
  "orvane: URLs for scripts. Machines without a lid sensor still get the"
  "manual preview.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Orvane team <team@orvane.app>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orvane.app)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_MAIN_PACKAGE_NAME ${ORVANE_PACKAGE})
set(CPACK_DEBIAN_MAIN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_MAIN_PACKAGE_CONTROL_EXTRA ${ORVANE_PACKAGING}/postinst ${ORVANE_PACKAGING}/postrm)
if(kwineffect IN_LIST CPACK_COMPONENTS_ALL)
  set(CPACK_DEBIAN_MAIN_PACKAGE_SUGGESTS ${ORVANE_PACKAGE}-kwin-effect)
  set(CPACK_DEBIAN_KWINEFFECT_PACKAGE_NAME ${ORVANE_PACKAGE}-kwin-effect)
  set(CPACK_DEBIAN_KWINEFFECT_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_KWINEFFECT_PACKAGE_DEPENDS ${kwin_range})
  set(CPACK_DEBIAN_KWINEFFECT_PACKAGE_ENHANCES ${ORVANE_PACKAGE})
  string(JOIN "\n" CPACK_DEBIAN_KWINEFFECT_DESCRIPTION
    "Orvane's fold drawn inside KWin"
    "The KWin effect that lets Orvane fold the built-in screen on KDE Plasma,"
    "on Wayland and X11 sessions alike: KWin draws the fold from the frame it"
    "composes, in step with the display. Orvane loads it by itself and works"
    "without it on other X11 desktops.")
endif()
include(CPack)
