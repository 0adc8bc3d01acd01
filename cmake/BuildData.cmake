# What a fresh build finds beside its executables (build/bin): the demo songs in MID/ with the
# first-start list ZbL/DemoList, and the default instrument set in PRG/ and WAV/.

# Demo songs: copied at configure time (they are small), listed by bare name, CR LF line ends
# as every playlist file has them.
file(GLOB ZB_DEMO_SONGS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/demo/*.mid)
set(demoList "")
foreach(song IN LISTS ZB_DEMO_SONGS)
    get_filename_component(name ${song} NAME)
    configure_file(${song} ${CMAKE_BINARY_DIR}/bin/MID/${name} COPYONLY)
    string(APPEND demoList "${name}\r\n")
endforeach()
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin/ZbL)
file(WRITE ${CMAKE_BINARY_DIR}/bin/ZbL/DemoList.new "${demoList}")
configure_file(${CMAKE_BINARY_DIR}/bin/ZbL/DemoList.new ${CMAKE_BINARY_DIR}/bin/ZbL/DemoList COPYONLY)
file(REMOVE ${CMAKE_BINARY_DIR}/bin/ZbL/DemoList.new)

# Default instrument set: the General MIDI font Debian's own MIDI players use by default
# (default-GM.sf2, from fluid-soundfont-gm), else TimGM6mb, imported by zorbel-cli. Not part of
# "all" unless ZB_DEFAULT_SET is on, since the import takes a while in sanitizer builds and the
# tests do not need it; scripts/run-main builds the target. The stamp makes it run once, and
# again only when the font or the import code changed.
if(EXISTS /usr/share/sounds/sf2/default-GM.sf2)
    set(zb_system_font /usr/share/sounds/sf2/default-GM.sf2)
else()
    set(zb_system_font /usr/share/sounds/sf2/TimGM6mb.sf2)
endif()
set(ZB_DEFAULT_FONT "" CACHE FILEPATH
    "SoundFont imported as the default instrument set (empty: the system's default font)")
set(zb_default_font ${ZB_DEFAULT_FONT})
if(NOT zb_default_font)
    set(zb_default_font ${zb_system_font})
endif()
# What the set was imported from, for the measuring scripts under bench/.
file(WRITE ${CMAKE_BINARY_DIR}/default-font.txt "${zb_default_font}\n")
option(ZB_DEFAULT_SET "Import the default instrument set with every build" OFF)
if(TARGET zb::importer)
    set(stamp ${CMAKE_BINARY_DIR}/bin/PRG/.default-set.stamp)
    add_custom_command(
        OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/bin/PRG ${CMAKE_BINARY_DIR}/bin/WAV
        COMMAND $<TARGET_FILE:zorbel-cli> import-sf2 ${zb_default_font} ${CMAKE_BINARY_DIR}/bin
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${zb_default_font} zorbel-cli-import
        COMMENT "Importing the default instrument set from ${zb_default_font}"
        VERBATIM)
    if(ZB_DEFAULT_SET)
        add_custom_target(default-instruments ALL DEPENDS ${stamp})
    else()
        add_custom_target(default-instruments DEPENDS ${stamp})
    endif()
endif()
