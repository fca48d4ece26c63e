# What `cmake --install` puts where. Included last from the top-level list,
# once every program target is known; the window programs are built only
# where Qt 6 is found, so everything that belongs to them is conditional.
#
# Every program looks for PicDeviceList3.txt in the folder of its own
# executable, the link resolved (/proc/self/exe). On Linux the programs and
# the catalogue therefore live together in a private folder,
# <prefix>/lib/kvx3, and <prefix>/bin holds relative symbolic links to them:
# a program started through its link still finds the catalogue, and no data
# file lands in bin. On Windows everything stays together in bin.

set(KVX3_PROGRAMS kvx3 kvx3-sim kvx3-cli)
# The software-centre id; the desktop entries are named after the programs,
# as the programs name themselves to the desktop (the Wayland app id).
set(KVX3_APP_ID com.quorvane.kvx3)
set(KVX3_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/data/desktop)

if(WIN32)
    set(KVX3_INSTALL_PROGRAMDIR ${CMAKE_INSTALL_BINDIR} CACHE STRING
        "Where the programs and their device catalogue are installed (below the prefix)")
else()
    set(KVX3_INSTALL_PROGRAMDIR lib/kvx3 CACHE STRING
        "Where the programs and their device catalogue are installed (below the prefix)")
endif()

set(kvx3_installed_programs)
foreach(program IN LISTS KVX3_PROGRAMS)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${KVX3_INSTALL_PROGRAMDIR})
        list(APPEND kvx3_installed_programs ${program})
    endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/data/PicDeviceList3.txt DESTINATION ${KVX3_INSTALL_PROGRAMDIR})

# The links in bin. Both folders are taken relative to the prefix so that the
# link stays right whatever prefix the install or the package is made for
# (--prefix, DESTDIR, CPack's /usr).
if(NOT WIN32 AND NOT KVX3_INSTALL_PROGRAMDIR STREQUAL CMAKE_INSTALL_BINDIR)
    if(IS_ABSOLUTE "${KVX3_INSTALL_PROGRAMDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
        message(FATAL_ERROR "KVX3_INSTALL_PROGRAMDIR and CMAKE_INSTALL_BINDIR must be relative to the prefix")
    endif()
    file(RELATIVE_PATH kvx3_link_base /kvx3-prefix/${CMAKE_INSTALL_BINDIR} /kvx3-prefix/${KVX3_INSTALL_PROGRAMDIR})
    foreach(program IN LISTS kvx3_installed_programs)
        install(CODE "
            set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
            message(STATUS \"Installing: \${link} -> ${kvx3_link_base}/${program}\")
            file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
            file(REMOVE \"\${link}\")
            file(CREATE_LINK \"${kvx3_link_base}/${program}\" \"\${link}\" SYMBOLIC)
            list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
        ")
    endforeach()
endif()

if(WIN32)
    # The sample driver package that binds WinUSB to the writer.
    install(FILES ${PROJECT_SOURCE_DIR}/data/kvx3-writer-winusb.inf DESTINATION ${KVX3_INSTALL_PROGRAMDIR})
else()
    # udev must see the rule before its uaccess rules (73-seat-late.rules) run.
    set(KVX3_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "Where the udev rule is installed (below the prefix)")
    install(FILES ${PROJECT_SOURCE_DIR}/data/70-kvx3-writer.rules DESTINATION ${KVX3_UDEV_RULES_DIR})
endif()

# The desktop: menu entries, icon and software-centre description of the
# window programs.
if(NOT WIN32)
    if(TARGET kvx3)
        install(FILES ${KVX3_DESKTOP_DIR}/kvx3.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
        install(FILES ${KVX3_DESKTOP_DIR}/${KVX3_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    endif()
    if(TARGET kvx3-sim)
        install(FILES ${KVX3_DESKTOP_DIR}/kvx3-sim.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    endif()
    if(TARGET kvx3 OR TARGET kvx3-sim)
        install(FILES ${KVX3_DESKTOP_DIR}/kvx3.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
        install(FILES ${KVX3_DESKTOP_DIR}/kvx3-256.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
                RENAME kvx3.png)
    endif()
endif()

# The manual pages, compressed as Debian ships them: the command-line tool's,
# and one for the two window programs.
if(NOT WIN32)
    set(kvx3_man_pages)
    if(TARGET kvx3-cli)
        list(APPEND kvx3_man_pages kvx3-cli.1)
    endif()
    if(TARGET kvx3 OR TARGET kvx3-sim)
        list(APPEND kvx3_man_pages kvx3.1)
    endif()
    find_program(KVX3_GZIP gzip)
    set(kvx3_man_outputs)
    foreach(page IN LISTS kvx3_man_pages)
        # The version in the page's title comes from project().
        configure_file(${PROJECT_SOURCE_DIR}/data/man/${page}.in ${CMAKE_BINARY_DIR}/man/src/${page} @ONLY)
        if(KVX3_GZIP)
            set(output ${CMAKE_BINARY_DIR}/man/${page}.gz)
            add_custom_command(
                OUTPUT ${output}
                COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/man/src/${page} ${CMAKE_BINARY_DIR}/man/${page}
                COMMAND ${KVX3_GZIP} -9nf ${CMAKE_BINARY_DIR}/man/${page}
                DEPENDS ${CMAKE_BINARY_DIR}/man/src/${page}
                COMMENT "Compressing the manual page ${page}"
                VERBATIM)
            list(APPEND kvx3_man_outputs ${output})
        else()
            list(APPEND kvx3_man_outputs ${CMAKE_BINARY_DIR}/man/src/${page})
        endif()
    endforeach()
    if(kvx3_man_outputs)
        add_custom_target(kvx3_man ALL DEPENDS ${kvx3_man_outputs})
        install(FILES ${kvx3_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    # kvx3-sim shares the window programs' page.
    if(TARGET kvx3-sim)
        set(kvx3_sim_page ${CMAKE_BINARY_DIR}/man/src/kvx3-sim.1)
        file(WRITE ${kvx3_sim_page} ".so man1/kvx3.1\n")
        if(KVX3_GZIP)
            execute_process(COMMAND ${KVX3_GZIP} -9nf ${kvx3_sim_page})
            set(kvx3_sim_page ${kvx3_sim_page}.gz)
        endif()
        install(FILES ${kvx3_sim_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endif()
