# The Debian package: `cpack -G DEB` in the build folder makes zorbel_VERSION_ARCH.deb of the
# installed layout under /usr. Its library dependencies are worked out from the binaries
# (dpkg-shlibdeps); what they load at run time without linking it (the window system and sound
# plugins) and the SoundFont package the default instrument set was imported from are named here.

# The package that holds the imported font: its copyright covers the instrument set.
file(REAL_PATH ${zb_default_font} zb_font_file)
get_filename_component(ZB_FONT_NAME ${zb_font_file} NAME)
set(zb_font_package "")
execute_process(COMMAND dpkg-query --search ${zb_font_file}
    OUTPUT_VARIABLE zb_font_owner ERROR_QUIET RESULT_VARIABLE zb_font_found)
if(zb_font_found EQUAL 0 AND zb_font_owner MATCHES "^([^:, ]+):")
    set(zb_font_package ${CMAKE_MATCH_1})
    set(ZB_FONT_SOURCE " of the Debian package ${zb_font_package}")
    set(ZB_FONT_COPYRIGHT ", in /usr/share/doc/${zb_font_package}/copyright")
endif()

set(zb_debian ${CMAKE_BINARY_DIR}/debian)
configure_file(${PROJECT_SOURCE_DIR}/data/debian/copyright.in ${zb_debian}/copyright @ONLY)
# Debian wants the changelog and the manual pages compressed, without a time stamp in the gzip
# header.
set(zb_compressed "")
foreach(file debian/changelog man/zorbel.1 man/zorbel-cli.1)
    get_filename_component(name ${file} NAME)
    add_custom_command(OUTPUT ${zb_debian}/${name}.gz
        COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/data/${file} > ${zb_debian}/${name}.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/data/${file} VERBATIM)
    list(APPEND zb_compressed ${zb_debian}/${name}.gz)
endforeach()
add_custom_target(compressed-docs ALL DEPENDS ${zb_compressed})
install(FILES ${zb_debian}/copyright ${zb_debian}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${zb_debian}/zorbel.1.gz ${zb_debian}/zorbel-cli.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zorbel)
set(CPACK_PACKAGE_VENDOR "Zorbel II developers")
set(CPACK_PACKAGE_CONTACT "Zorbel II developers <zorbel@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MIDI file player and renderer with a wavetable synthesizer")
# Debian's description lines stay within 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Zorbel II plays Standard MIDI Files through its own software wavetable\n"
    "synthesizer, from plain-text instrument patches and recorded samples, in a\n"
    "CD-player-like window with playlists, or renders them to WAV files with\n"
    "zorbel-cli. Instrument sets are imported from SoundFont files. A General\n"
    "MIDI set comes with the package.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_THREADS 0)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(zb_depends qt6-qpa-plugins gstreamer1.0-plugins-good gstreamer1.0-pulseaudio)
if(zb_font_package)
    list(APPEND zb_depends ${zb_font_package})
endif()
list(JOIN zb_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
