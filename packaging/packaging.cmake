# Desktop integration, documentation and the Debian package. Included from the top
# CMakeLists after every program target exists.

set(QUARVEX_DEB_MAINTAINER "Quarvex developers <quarvex@localhost>" CACHE STRING
    "Maintainer of the Debian package and signer of its changelog; set by whoever publishes it")
set(QUARVEX_APP_ID org.quarvex.quarvex)

set(_pkg ${CMAKE_CURRENT_LIST_DIR})
set(_docdir ${CMAKE_INSTALL_DATADIR}/doc/quarvex)
set(_gen ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_gen}/doc ${_gen}/man)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/LICENSE ${_pkg}/changelog.in)

# The changelog's newest entry is the release: the package version must be its version,
# and the metadata and manual pages take their date from it.
file(STRINGS ${_pkg}/changelog.in _changelog)
list(GET _changelog 0 _head)
string(REGEX MATCH "^quarvex \\(([^)]+)\\)" _ "${_head}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
    message(FATAL_ERROR "packaging/changelog.in starts at ${CMAKE_MATCH_1}, the project is "
                        "${PROJECT_VERSION}: add an entry for the new version")
endif()
foreach(_line IN LISTS _changelog)
    if(_line MATCHES "^ -- .*  (..., ([0-9][0-9]) (...) ([0-9][0-9][0-9][0-9]) [0-9:]+ [-+][0-9]+)$")
        set(QUARVEX_RELEASE_STAMP "${CMAKE_MATCH_1}")
        set(_day ${CMAKE_MATCH_2})
        set(_mon ${CMAKE_MATCH_3})
        set(_year ${CMAKE_MATCH_4})
        break()
    endif()
endforeach()
if(NOT QUARVEX_RELEASE_STAMP)
    message(FATAL_ERROR "packaging/changelog.in: no trailer line in its newest entry")
endif()
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(_month_names January February March April May June July August September October
    November December)
list(FIND _months ${_mon} _m)
list(GET _month_names ${_m} _month_name)
math(EXPR _m "${_m} + 1")
if(_m LESS 10)
    set(_m 0${_m})
endif()
set(QUARVEX_RELEASE_DATE ${_year}-${_m}-${_day})
set(QUARVEX_RELEASE_MONTH "${_month_name} ${_year}")

# help2man dates its pages by SOURCE_DATE_EPOCH: the release, so a rebuild is identical.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(_epoch $ENV{SOURCE_DATE_EPOCH})
else()
    execute_process(COMMAND date -u -d "${QUARVEX_RELEASE_STAMP}" +%s
                    OUTPUT_VARIABLE _epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
endif()

find_program(QUARVEX_GZIP gzip)
find_program(QUARVEX_HELP2MAN help2man)

# quarvex_gzip(name source dest.gz): dest.gz is source compressed the way Debian wants
# it, with no file name or time stamp inside, built with the programs.
function(quarvex_gzip name source dest)
    string(REGEX REPLACE "\\.gz$" "" _plain ${dest})
    add_custom_command(OUTPUT ${dest}
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${_plain}
        COMMAND ${QUARVEX_GZIP} -9nf ${_plain}
        DEPENDS ${source} VERBATIM)
    add_custom_target(${name} ALL DEPENDS ${dest})
endfunction()

# quarvex_man_page(target NAME "what it is" [INCLUDE file.h2m]): section 1 page of a
# program, made by help2man from its --help and --version. Nothing without the target
# or without help2man.
function(quarvex_man_page target)
    cmake_parse_arguments(M "" "NAME;INCLUDE" "" ${ARGN})
    if(NOT TARGET ${target} OR NOT QUARVEX_HELP2MAN OR NOT QUARVEX_GZIP)
        return()
    endif()
    set(_page ${_gen}/man/${target}.1)
    set(_args --no-info --section=1 "--name=${M_NAME}" --output=${_page})
    if(M_INCLUDE)
        list(APPEND _args --include=${M_INCLUDE})
    endif()
    add_custom_command(OUTPUT ${_page}.gz
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${_epoch} QT_QPA_PLATFORM=offscreen
                ${QUARVEX_HELP2MAN} ${_args} $<TARGET_FILE:${target}>
        COMMAND ${QUARVEX_GZIP} -9nf ${_page}
        DEPENDS ${target} ${M_INCLUDE} VERBATIM)
    add_custom_target(man-${target} ALL DEPENDS ${_page}.gz)
    install(FILES ${_page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

if(UNIX AND NOT APPLE)
    # The file name is what QGuiApplication::setDesktopFileName refers to.
    install(FILES ${_pkg}/${QUARVEX_APP_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    set(_icons ${CMAKE_CURRENT_SOURCE_DIR}/resources/icons)
    foreach(_size 32 48 64 128 256)
        if(_size EQUAL 64)
            set(_png ${_icons}/quarvex.png)
        else()
            set(_png ${_icons}/quarvex-${_size}.png)
        endif()
        install(FILES ${_png} RENAME quarvex.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${_size}x${_size}/apps)
    endforeach()

    # Software-centre metadata: every program the package puts on the PATH.
    set(QUARVEX_METAINFO_BINARIES "")
    foreach(_program ${QUARVEX_PROGRAMS})
        string(APPEND QUARVEX_METAINFO_BINARIES "\n    <binary>${_program}</binary>")
    endforeach()
    configure_file(${_pkg}/${QUARVEX_APP_ID}.metainfo.xml.in
                   ${_gen}/${QUARVEX_APP_ID}.metainfo.xml @ONLY)
    install(FILES ${_gen}/${QUARVEX_APP_ID}.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

    # Machine-readable copyright, the licence text taken from LICENSE.
    file(READ ${PROJECT_SOURCE_DIR}/LICENSE _license)
    string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${_license}")
    set(QUARVEX_COPYRIGHT "${CMAKE_MATCH_1}")
    string(REGEX REPLACE "^.*Copyright \\(c\\) [^\n]+\n+" "" _license "${_license}")
    string(STRIP "${_license}" _license)
    string(REPLACE "\n\n" "\n.\n" _license "${_license}")
    string(REPLACE "\n" "\n " QUARVEX_LICENSE_TEXT " ${_license}")
    configure_file(${_pkg}/copyright.in ${_gen}/copyright @ONLY)
    install(FILES ${_gen}/copyright DESTINATION ${_docdir})
    install(FILES ${_pkg}/lintian-overrides RENAME quarvex
            DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)

    if(QUARVEX_GZIP)
        configure_file(${_pkg}/changelog.in ${_gen}/changelog.src @ONLY)
        quarvex_gzip(doc-changelog ${_gen}/changelog.src ${_gen}/doc/changelog.gz)
        install(FILES ${_gen}/doc/changelog.gz DESTINATION ${_docdir})

        configure_file(${_pkg}/quarvex.1.in ${_gen}/quarvex.1.src @ONLY)
        quarvex_gzip(man-quarvex ${_gen}/quarvex.1.src ${_gen}/man/quarvex.1.gz)
        install(FILES ${_gen}/man/quarvex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
    if(NOT QUARVEX_HELP2MAN)
        message(STATUS "help2man not found: no manual pages for the command-line programs")
    endif()
    quarvex_man_page(quarvex-sim NAME "virtual Quarvex driver module on a pseudo-terminal"
                     INCLUDE ${_pkg}/quarvex-sim.h2m)
    quarvex_man_page(quarvexctl NAME "command-line companion of quarvex"
                     INCLUDE ${_pkg}/quarvexctl.h2m)
endif()

if(WIN32)
    # The zip and the installer hold the programs side by side with the licence and a
    # read-me, in Windows line endings so every editor shows them.
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${_gen}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(${_pkg}/README-windows.txt.in ${_gen}/README.txt @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${_gen}/LICENSE.txt ${_gen}/README.txt DESTINATION .)
endif()

set(CPACK_PACKAGE_NAME quarvex)
set(CPACK_PACKAGE_VENDOR "Quarvex")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quarvex)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR "ZIP;NSIS")
    set(CPACK_PACKAGE_FILE_NAME Quarvex-${PROJECT_VERSION}-win64)
    set(CPACK_RESOURCE_FILE_LICENSE ${_gen}/LICENSE.txt)
    # Start menu: the window, and the uninstaller NSIS always adds.
    set(CPACK_PACKAGE_EXECUTABLES Quarvex Quarvex)
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
    set(CPACK_NSIS_PACKAGE_NAME Quarvex)
    set(CPACK_NSIS_DISPLAY_NAME Quarvex)
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/quarvex.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/quarvex.ico)
    set(CPACK_NSIS_INSTALLED_ICON_NAME Quarvex.exe)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    # A 64-bit installer for 64-bit programs: it installs under the 64-bit Program Files,
    # and it runs where only 64-bit programs do (Wine in CI).
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    include(CPack)
    return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARVEX_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Drives both motors of the module, reads its parameters and changes its bus\n\
address and line speed over an RS-485 line (Modbus RTU).")

# Declared by hand rather than by dpkg-shlibdeps, so the list is the same on every
# build machine. Debian ships the platform plugins with libqt5gui5, but Qt 6 keeps
# them in qt6-qpa-plugins, which libqt6gui6 only recommends. Every text of the window
# is Chinese: without a CJK face it is all boxes. Qt's own menus and dialogs follow the
# user's language from Qt's translations.
set(_qtv "${Qt${QUARVEX_QT}Core_VERSION_MAJOR}.${Qt${QUARVEX_QT}Core_VERSION_MINOR}")
set(_cjk_font "fonts-wqy-microhei | fonts-noto-cjk")
if(QUARVEX_QT STREQUAL "6")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6core6 (>= ${_qtv}), libqt6gui6 (>= ${_qtv}), libqt6widgets6 (>= ${_qtv}), libqt6serialport6 (>= ${_qtv}), libqt6network6 (>= ${_qtv}), qt6-qpa-plugins, qt6-translations-l10n, ${_cjk_font}, libstdc++6, libc6")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt5core5a (>= ${_qtv}), libqt5gui5 (>= ${_qtv}) | libqt5gui5-gles (>= ${_qtv}), libqt5widgets5 (>= ${_qtv}), libqt5serialport5 (>= ${_qtv}), libqt5network5 (>= ${_qtv}), qttranslations5-l10n, ${_cjk_font}, libstdc++6, libc6")
endif()

include(CPack)
