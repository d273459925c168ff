# Desktop integration and the Debian package. Included from the top CMakeLists.

if(UNIX AND NOT APPLE)
    # The file name is what QGuiApplication::setDesktopFileName("quarvex") refers to.
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/quarvex.desktop
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
endif()

set(CPACK_PACKAGE_NAME quarvex)
set(CPACK_PACKAGE_VENDOR "Quarvex")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quarvex)
set(CPACK_STRIP_FILES ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quarvex developers <quarvex@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Drives both motors of the module, reads its parameters and changes its bus\n\
address and line speed over an RS-485 line (Modbus RTU).")

# Declared by hand rather than by dpkg-shlibdeps, so the list is the same on every
# build machine. Debian ships the platform plugins with libqt5gui5, but Qt 6 keeps
# them in qt6-qpa-plugins, which libqt6gui6 only recommends.
set(_qtv "${Qt${QUARVEX_QT}Core_VERSION_MAJOR}.${Qt${QUARVEX_QT}Core_VERSION_MINOR}")
if(QUARVEX_QT STREQUAL "6")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6core6 (>= ${_qtv}), libqt6gui6 (>= ${_qtv}), libqt6widgets6 (>= ${_qtv}), libqt6serialport6 (>= ${_qtv}), qt6-qpa-plugins, libstdc++6, libc6")
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt5core5a (>= ${_qtv}), libqt5gui5 (>= ${_qtv}) | libqt5gui5-gles (>= ${_qtv}), libqt5widgets5 (>= ${_qtv}), libqt5serialport5 (>= ${_qtv}), libstdc++6, libc6")
endif()

include(CPack)
