# What `cmake --install` and the Debian package put on a Linux machine: the
# program, its default data, the manual page, the bash completion, the desktop
# entry with its icons, the server's systemd unit, and the copyright and
# changelog. Included from the top
# CMakeLists.txt after the targets exist.

set(CELLSHOW_MAINTAINER "cellshow developers <cellshow@example.org>"
  CACHE STRING "Maintainer named in the Debian package")

# The manual pages: scdoc source to troff, then compressed as Debian wants.
find_program(SCDOC scdoc REQUIRED)
set(MAN_PAGES)
foreach(page cellshow cellshow-data)
  set(source ${CMAKE_SOURCE_DIR}/docs/${page}.1.scd)
  set(man ${CMAKE_BINARY_DIR}/docs/${page}.1)
  add_custom_command(OUTPUT ${man} ${man}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/docs
    COMMAND sh -c "'${SCDOC}' < '${source}' > '${man}'"
    COMMAND sh -c "gzip -9n < '${man}' > '${man}.gz'"
    DEPENDS ${source}
    COMMENT "Making the manual page ${page}(1)"
    VERBATIM)
  list(APPEND MAN_PAGES ${man} ${man}.gz)
endforeach()
add_custom_target(man-page ALL DEPENDS ${MAN_PAGES})

# The changelog names the version and the maintainer.
set(CHANGELOG ${CMAKE_BINARY_DIR}/docs/changelog)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog ${CHANGELOG} @ONLY)
add_custom_command(OUTPUT ${CHANGELOG}.gz
  COMMAND sh -c "gzip -9n < '${CHANGELOG}' > '${CHANGELOG}.gz'"
  DEPENDS ${CHANGELOG}
  VERBATIM)
add_custom_target(changelog ALL DEPENDS ${CHANGELOG}.gz)

# The icons, drawn by the program itself: the build records the show up to a
# tick of its title and cellshow-icon draws that frame through the pixel model.
set(ICON_TICK 300)
math(EXPR ICON_KEY_TICK "${ICON_TICK} + 1")  # the key blacks the screen in its own tick
set(ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(ICONS ${ICON_DIR}/256x256/apps/cellshow.png ${ICON_DIR}/48x48/apps/cellshow.png)
add_custom_command(OUTPUT ${ICONS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ICON_DIR}
  COMMAND cellshow --data ${CMAKE_BINARY_DIR}/data --record ${ICON_DIR}/title.rec
    --key-after ${ICON_KEY_TICK}
  COMMAND cellshow-icon ${ICON_DIR}/title.rec ${ICON_TICK} ${ICON_DIR}
  COMMAND ${CMAKE_COMMAND} -E remove ${ICON_DIR}/title.rec
  DEPENDS cellshow cellshow-icon ${CMAKE_BINARY_DIR}/data.stamp
  COMMENT "Drawing the icons from the show's title"
  VERBATIM)
add_custom_target(icons ALL DEPENDS ${ICONS})
# The data is made by show-data's rule; icons, which reads it, waits for that
# target, or a parallel make would run the generator twice at once into the
# same folder.
add_dependencies(icons show-data)

# The systemd unit for the server, naming the installed program.
set(CELLSHOW_BINARY ${CMAKE_INSTALL_FULL_BINDIR}/cellshow)
set(SERVE_UNIT ${CMAKE_BINARY_DIR}/packaging/cellshow-serve.service)
configure_file(${CMAKE_SOURCE_DIR}/packaging/cellshow-serve.service.in ${SERVE_UNIT} @ONLY)

# Everything the install rules below copy; `make install` and `make deb`
# build this, so neither needs the tests.
add_custom_target(installables DEPENDS cellshow cellshow-data show-data man-page changelog icons)

# cmake --install and CPack install what exists; they build nothing.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

install(TARGETS cellshow cellshow-data RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/cellshow/data
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
foreach(page cellshow cellshow-data)
  install(FILES ${CMAKE_BINARY_DIR}/docs/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/${page}.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${page})
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/cellshow.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Installed, not enabled (no maintainer script enables it).
install(FILES ${SERVE_UNIT} DESTINATION lib/systemd/system)
foreach(size 256x256 48x48)
  install(FILES ${ICON_DIR}/${size}/apps/cellshow.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps)
endforeach()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${CHANGELOG}.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package: build/cellshow_<version>_<arch>.deb, installed under
# /usr, its Depends found by dpkg-shlibdeps from the libraries linked.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cellshow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${CELLSHOW_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CELLSHOW_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "self-running text-mode show with music\n\
A fixed audiovisual show on an 80x50 grid of character cells: a colour\n\
plasma with overlay pictures and rays, full-screen cell animations, line\n\
bursts and fixed-point wireframe models in perspective, with music. It\n\
plays in a terminal, and can record itself headless. cellshow-data makes\n\
its files from pictures, video, music, ANSI art and models.")
include(CPack)
