# Installing, and the Debian package (cpack -G DEB, run by ./build.sh package): the two
# programs, their manual pages, the desktop entry with its icon, the AppStream description, the
# sample history, and the package's own copyright and changelog. The package's dependencies are
# computed from the binaries by dpkg-shlibdeps; only what is loaded at run time without being
# linked (Qt's SQLite plugin) is named by hand.
set(QUORVEX_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")
set(QUORVEX_APP_ID org.quorvex.Quorvex)

install(TARGETS quorvex quorvex-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES "${QUORVEX_PACKAGING_DIR}/${QUORVEX_APP_ID}.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${QUORVEX_PACKAGING_DIR}/${QUORVEX_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES "${QUORVEX_PACKAGING_DIR}/${QUORVEX_APP_ID}.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES "${QUORVEX_PACKAGING_DIR}/${QUORVEX_APP_ID}.png"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/data/历史号码"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvex)

# Manual pages and the changelog compressed as Debian wants them: gzip -9, no name or time.
find_program(GZIP gzip REQUIRED)
set(QUORVEX_COMPRESSED "")
foreach(source app/quorvex.1 cli/quorvex-cli.1)
    get_filename_component(name "${source}" NAME)
    set(target "${CMAKE_BINARY_DIR}/packaging/${name}.gz")
    add_custom_command(OUTPUT "${target}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packaging"
        COMMAND ${GZIP} -9nc "${PROJECT_SOURCE_DIR}/src/${source}" > "${target}"
        DEPENDS "${PROJECT_SOURCE_DIR}/src/${source}" VERBATIM)
    list(APPEND QUORVEX_COMPRESSED "${target}")
    install(FILES "${target}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
set(changelog "${CMAKE_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(OUTPUT "${changelog}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/packaging"
    COMMAND ${GZIP} -9nc "${QUORVEX_PACKAGING_DIR}/changelog" > "${changelog}"
    DEPENDS "${QUORVEX_PACKAGING_DIR}/changelog" VERBATIM)
add_custom_target(quorvex_packaging_files ALL DEPENDS ${QUORVEX_COMPRESSED} "${changelog}")
install(FILES "${changelog}" "${QUORVEX_PACKAGING_DIR}/copyright"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvex)

# build.sh package builds what is installed; installing must not build every test first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_PACKAGE_VENDOR "The Quorvex developers")
set(CPACK_PACKAGE_CONTACT "The Quorvex developers <developers@quorvex.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "analyser of the history of a 5-of-15 lottery")
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvex keeps every past draw of a lottery that draws five numbers out\n\
of 1 to 15, with the zodiac, head, tail, digit sum and segment of each\n\
number, brings the history up to date (typed entry, text files, a results\n\
service) and answers the follow question: after past draws that looked like\n\
the reference draw, what came next? It ranks the values of a chosen kind by\n\
frequency, sets them against chance, and tries a search on every past issue.\n\
quorvex-cli answers the same questions from a terminal.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# Only what install() names: no test, benchmark or fuzz target.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Quorvex;ALL;/")
include(CPack)
