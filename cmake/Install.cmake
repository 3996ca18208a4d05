# What `cmake --install` puts where, and the Debian package CPack makes of it.
include(GNUInstallDirs)

install(TARGETS tervalo-convert RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TERVALO_BUILD_GUI)
    install(TARGETS tervalo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The rest belongs to a Linux desktop; the Windows zip is made by scripts/package-windows.sh.
if(WIN32)
    return()
endif()

set(linux ${PROJECT_SOURCE_DIR}/packaging/linux)
set(app_id io.github.tervalo.Tervalo)

# Debian wants manual pages and changelogs compressed at the highest level, without the time
# stamp gzip otherwise stores, so that two builds of one source give the same bytes.
find_program(TERVALO_GZIP gzip REQUIRED)
set(compressed)
foreach(source tervalo.1 tervalo-convert.1 changelog)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/packaging/${source})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${linux}/${source} ${copy}
        COMMAND ${TERVALO_GZIP} -9nf ${copy}
        DEPENDS ${linux}/${source} VERBATIM)
    list(APPEND compressed ${copy}.gz)
endforeach()
add_custom_target(tervalo_compressed_docs ALL DEPENDS ${compressed})

configure_file(${linux}/${app_id}.metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/packaging/${app_id}.metainfo.xml @ONLY)

if(TERVALO_BUILD_GUI)
    install(FILES ${linux}/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/${app_id}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${linux}/tervalo-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
            RENAME tervalo.xml)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${PROJECT_SOURCE_DIR}/gui/resources/icons/tervalo-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME tervalo.png)
    endforeach()
    install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/tervalo.1.gz
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/tervalo-convert.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Named after the package, as Debian wants, not after the project.
install(FILES ${linux}/copyright ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tervalo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tervalo)
set(CPACK_PACKAGE_VENDOR "Tervalo maintainers")
set(CPACK_PACKAGE_CONTACT "Tervalo maintainers <maintainers@users.noreply.c-seed-779d9dc9.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "astrology chart database converter")
set(CPACK_PACKAGE_DESCRIPTION
    "Tervalo converts the chart databases of several astrology programs into one
another's formats. It reads AAF and QCK databases, Placidus, Morinus,
Regiomontanus and Solar Fire chart files, CSV and Astro-Databank XML exports,
and writes AAF, QCK, NUM, CSV, HOR or SZK. The package holds the window
(Hungarian, Qt 6) and the command-line converter tervalo-convert.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# tervalo_VERSION_ARCH.deb, as Debian names packages.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs need, as dpkg-shlibdeps finds them in the binaries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
