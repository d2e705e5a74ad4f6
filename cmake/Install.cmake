# What `cmake --install` puts where (GNU layout), and the Debian packages CPack builds
# from it. Every installed program is named in QUILLMARK_INSTALLED_PROGRAMS and every
# installed library in QUILLMARK_INSTALLED_LIBRARIES; a new program or library is added
# there and nowhere else. Two install components: Runtime (the programs, package
# quillmark) and Development (the MySQL access layer for C++ programs, package
# quillmark-dev).

set(QUILLMARK_INSTALLED_PROGRAMS quillmark-cli quillmark-mysql)
if(QUILLMARK_GUI)
  list(APPEND QUILLMARK_INSTALLED_PROGRAMS quillmark)
endif()
# Command-line programs, each with its manual page packaging/man/NAME.1.
set(QUILLMARK_MANUAL_PAGES quillmark-cli quillmark-mysql)

install(TARGETS ${QUILLMARK_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT Runtime)

# The program falls back to this copy when the working directory has none.
install(FILES ${PROJECT_SOURCE_DIR}/src/app/resources/SpecialChar.dat
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillmark COMPONENT Runtime)

if(QUILLMARK_GUI)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmark.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT Runtime)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/quillmark.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT Runtime)
endif()

# The MySQL access layer as a CMake package: find_package(Quillmark COMPONENTS mysql)
# gives Quillmark::mysql (the components, with the dataset framework, the driver, the
# protocol client and the SQL text toolkit behind it). Each entry is target=export name;
# the folders' headers go to include/quillmark/<folder>, so the installed headers are
# included as in this tree ("mysql/components/mysql_server.h").
set(QUILLMARK_INSTALLED_LIBRARIES
    qm_mysql_components=mysql qm_mysql_login=mysql_login qm_mysql_driver=mysql_driver
    qm_mysql_protocol=mysql_protocol qm_mysql_sqltext=mysql_sqltext qm_dataset=dataset
    qm_ado=ado qm_text=text qm_ui=ui)
set(QUILLMARK_INSTALLED_HEADER_FOLDERS
    mysql/components mysql/driver mysql/protocol mysql/sqltext platform/dataset platform/ado
    platform/text platform/ui)
# Headers of those folders that belong to no installed library (the Qt parts).
set(QUILLMARK_UNINSTALLED_HEADERS login_dialog.h qt_look.h qt_messages.h)
set(QUILLMARK_INCLUDE_ROOT ${CMAKE_INSTALL_INCLUDEDIR}/quillmark)
set(QUILLMARK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quillmark)

set(quillmark_library_targets)
foreach(entry IN LISTS QUILLMARK_INSTALLED_LIBRARIES)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 target)
  list(GET pair 1 export_name)
  # Built as for the programs (position-independent executables' code, not a shared
  # library's): a user links them into a program.
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${export_name})
  target_include_directories(${target} INTERFACE $<INSTALL_INTERFACE:${QUILLMARK_INCLUDE_ROOT}>)
  list(APPEND quillmark_library_targets ${target})
endforeach()
install(TARGETS ${quillmark_library_targets} EXPORT QuillmarkTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}/quillmark COMPONENT Development)
list(JOIN QUILLMARK_UNINSTALLED_HEADERS "|" uninstalled)
string(REPLACE "." "\\." uninstalled "${uninstalled}")
foreach(folder IN LISTS QUILLMARK_INSTALLED_HEADER_FOLDERS)
  # Only the folder's own headers: subfolders are a library's inner parts.
  file(GLOB headers LIST_DIRECTORIES false CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/src/${folder}/*.h)
  list(FILTER headers EXCLUDE REGEX "/(${uninstalled})$")
  install(FILES ${headers} DESTINATION ${QUILLMARK_INCLUDE_ROOT}/${folder} COMPONENT Development)
endforeach()
install(EXPORT QuillmarkTargets NAMESPACE Quillmark:: DESTINATION ${QUILLMARK_CMAKE_DIR}
        COMPONENT Development)
include(CMakePackageConfigHelpers)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuillmarkConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/QuillmarkConfig.cmake
                              INSTALL_DESTINATION ${QUILLMARK_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuillmarkConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuillmarkConfig.cmake
              ${PROJECT_BINARY_DIR}/QuillmarkConfigVersion.cmake
        DESTINATION ${QUILLMARK_CMAKE_DIR} COMPONENT Development)

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
install(FILES ${manual_files} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)

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
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Runtime Development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME quillmark)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME quillmark-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
# Each package's text follows the one summary line CPack gives them all.
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION
    "This package holds Quillmark's MySQL access layer for C++ programs: the\n\
connection and dataset components, the driver interface, the MySQL protocol\n\
client and the SQL text toolkit, as static libraries with their headers and a\n\
CMake package (find_package(Quillmark COMPONENTS mysql), then link\n\
Quillmark::mysql).")
# What the static libraries link, and the pkg-config files the CMake package reads.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "zlib1g-dev, libssl-dev, unixodbc-dev, mdbtools-dev, pkgconf | pkg-config")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_RECOMMENDS "libmariadb3")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SUGGESTS "libmariadbd19")
# MySQL data sources need the MariaDB ODBC driver and the windows Qt's platform
# plugins; SQL Server needs FreeTDS; the MySQL library drivers load libmariadb and
# libmariadbd.
set(quillmark_runtime_depends "odbc-mariadb")
if(QUILLMARK_GUI)
  string(APPEND quillmark_runtime_depends ", qt6-qpa-plugins")
endif()
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "${quillmark_runtime_depends}")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_RECOMMENDS "tdsodbc, libmariadb3")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SUGGESTS "libmariadbd19, mariadb-client")
include(CPack)
