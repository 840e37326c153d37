# What `make install` puts under the prefix: the interpreter and its workbench, their manual pages, the
# documentation and the example programs. `make uninstall` removes what the last install
# listed in install_manifest.txt (cmake/uninstall.cmake).
include(GNUInstallDirs)

install(TARGETS ruk rukw RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES docs/ruk.1 docs/rukw.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

file(GLOB RUK_DOCS CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${RUK_DOCS} README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

file(GLOB RUK_EXAMPLES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.ruk)
install(FILES ${RUK_EXAMPLES} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The manifest lists the files without the DESTDIR they went under; it is kept beside the
# manifest so that `make uninstall` removes those very files without being told again.
install(CODE "file(WRITE \"${CMAKE_BINARY_DIR}/install_destdir.txt\" \"\$ENV{DESTDIR}\")")
