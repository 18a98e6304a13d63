# Installing and packaging: the two programs, their manual pages, the
# README and the licence. CPack makes a Debian package of a Linux build
# and a zip archive of a Windows one.
set(SORTERS_PACKAGE tessary-quarn)
set(CMAKE_INSTALL_DOCDIR share/doc/${SORTERS_PACKAGE})
include(GNUInstallDirs)
install(TARGETS Tessary Quarn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_PACKAGE_NAME ${SORTERS_PACKAGE})
set(CPACK_PACKAGE_VENDOR "the Tessary and Quarn authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sort cartridge ROM images and JPEG pictures by their CRC-32")
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The manual pages as web pages, made by the build machine's mandoc.
  find_program(SORTERS_MANDOC mandoc REQUIRED)
  foreach(page Tessary Quarn)
    set(html ${PROJECT_BINARY_DIR}/${page}.html)
    add_custom_command(OUTPUT ${html} DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}.1
                       COMMAND ${SORTERS_MANDOC} -T html ${PROJECT_SOURCE_DIR}/man/${page}.1 > ${html})
    list(APPEND pages ${html})
  endforeach()
  add_custom_target(manual_pages ALL DEPENDS ${pages})
  install(FILES ${pages} ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${SORTERS_PACKAGE}-${PROJECT_VERSION}-windows-${CMAKE_SYSTEM_PROCESSOR})
else()
  # Debian keeps manual pages and changelogs compressed, without a time
  # stamp, and the licence as the package's copyright file.
  configure_file(${PROJECT_SOURCE_DIR}/cmake/changelog.Debian.in ${PROJECT_BINARY_DIR}/changelog.Debian @ONLY)
  foreach(source ${PROJECT_SOURCE_DIR}/man/Tessary.1 ${PROJECT_SOURCE_DIR}/man/Quarn.1
                 ${PROJECT_BINARY_DIR}/changelog.Debian)
    get_filename_component(name ${source} NAME)
    set(packed ${PROJECT_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${packed} DEPENDS ${source} COMMAND gzip -9n -c ${source} > ${packed})
    list(APPEND packed_files ${packed})
  endforeach()
  add_custom_target(compressed_documents ALL DEPENDS ${packed_files})
  list(GET packed_files 2 changelog)
  list(REMOVE_AT packed_files 2)
  install(FILES ${packed_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME changelog.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tessary and Quarn authors <maintainers@tessary-quarn.example>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The synopsis is CPACK_PACKAGE_DESCRIPTION_SUMMARY; these lines follow it.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Two command-line tools for collections of files known by their CRC-32.
Tessary lists the CRC-32 of cartridge ROM images, inside zip archives
too, leaving out the copier headers of several cartridge formats, and
sorts a folder of images by a catalog: its own dump, a sectioned catalog,
an XML or a ClrMamePro catalog. Quarn does the same for JPEG pictures and
lists their pixel size. Neither ever overwrites a file.")
endif()
include(CPack)
