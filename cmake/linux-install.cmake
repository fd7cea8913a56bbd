# What `cmake --install BUILD --prefix P` puts under P on Linux: vbltool, its
# manual page and its documentation (the authors' guide, the licence, and the
# notices of what the Linux build links). The launcher and the Windows files
# have no install rules. tools/pack-deb.sh makes the Debian package from what
# these rules install.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/linux-notices.cmake)

configure_file(${PROJECT_SOURCE_DIR}/docs/vbltool.1.in ${CMAKE_BINARY_DIR}/vbltool.1 @ONLY)
vbl_linux_notices(${PROJECT_SOURCE_DIR}/docs/NOTICES.txt ${PROJECT_SOURCE_DIR}/docs/NOTICES-linux.txt.in
                  ${CMAKE_BINARY_DIR}/NOTICES.txt ${PROJECT_VERSION})

install(TARGETS vbltool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/vbltool.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# vbltool's documentation folder, whatever CMAKE_INSTALL_DOCDIR says: that one
# is named for the project (vblLM), or for GoogleTest when its build set it first.
install(FILES ${PROJECT_SOURCE_DIR}/docs/vbltool.md ${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/NOTICES.txt
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vbltool)
