# What `cmake --install` puts where (GNU layout), and the Debian package CPack builds
# from it. Every installed program is named in QUILLMARK_INSTALLED_PROGRAMS; a new
# program or library is added there and nowhere else.

set(QUILLMARK_INSTALLED_PROGRAMS quillmark-cli quillmark-mysql)
if(QUILLMARK_GUI)
  list(APPEND QUILLMARK_INSTALLED_PROGRAMS quillmark)
endif()
# Command-line programs, each with its manual page packaging/man/NAME.1.
set(QUILLMARK_MANUAL_PAGES quillmark-cli quillmark-mysql)

install(TARGETS ${QUILLMARK_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program falls back to this copy when the working directory has none.
install(FILES ${PROJECT_SOURCE_DIR}/src/app/resources/SpecialChar.dat
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmark)

if(QUILLMARK_GUI)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmark.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmark.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()

# Manual pages go in compressed, as Debian keeps them; -n leaves the time out, so the
# same page gives the same bytes.
find_program(QUILLMARK_GZIP gzip REQUIRED)
set(manual_files)
foreach(page IN LISTS QUILLMARK_MANUAL_PAGES)
  set(source ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1)
  set(compressed ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
                     COMMAND ${QUILLMARK_GZIP} -9 -n -c ${source} > ${compressed}
                     DEPENDS ${source} VERBATIM)
  list(APPEND manual_files ${compressed})
endforeach()
add_custom_target(quillmark_manual_pages ALL DEPENDS ${manual_files})
install(FILES ${manual_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: `cpack -G DEB` in the build folder. Libraries the programs link
# are named by dpkg-shlibdeps; what they load by name at run time is named here.
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VENDOR "Quillmark")
set(CPACK_PACKAGE_CONTACT "Quillmark maintainers <maintainers@quillmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "copies tables and views with their rows between Access, SQL Server and MySQL")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark copies tables and views, with their rows, from one database to another\n\
(Microsoft Access files, SQL Server and MySQL), translating column types between\n\
their SQL dialects, and writes the SQL of everything it does into a script file.\n\
It comes with desktop windows (quillmark), a command-line front end\n\
(quillmark-cli) and a small MySQL client over its own protocol client\n\
(quillmark-mysql).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# MySQL data sources need the MariaDB ODBC driver and the windows Qt's platform
# plugins; SQL Server needs FreeTDS; the MySQL library drivers load libmariadb and
# libmariadbd.
set(quillmark_runtime_depends "odbc-mariadb")
if(QUILLMARK_GUI)
  string(APPEND quillmark_runtime_depends ", qt6-qpa-plugins")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${quillmark_runtime_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "tdsodbc, libmariadb3")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libmariadbd19, mariadb-client")
include(CPack)
