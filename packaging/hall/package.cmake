# The hall of fame server's Debian package, vextral-hall_<version>_<arch>.deb, from the same
# cpack run as the game's; included by packaging/CMakeLists.txt when vextral-hall is built.
# Its files are the "hall" install component (left out of a plain cmake --install):
#
#   /usr/bin/vextral-hall                       the server
#   /lib/systemd/system/vextral-hall.service   runs it as a user of its own, on
#                                              127.0.0.1:8734 by default, its games in
#                                              /var/lib/vextral-hall (made by systemd)
#   /etc/default/vextral-hall                  its options (a conffile)
#   /usr/share/man/man1, doc/vextral-hall
#
# The unit goes where Debian 12's systemd and debhelper put units, not under the prefix.
set(hall_unit_dir /lib/systemd/system)
set(hall_executable ${deb_prefix}/bin/vextral-hall)
set(hall_source ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS vextral-hall RUNTIME DESTINATION bin COMPONENT hall EXCLUDE_FROM_ALL)
configure_file(${hall_source}/vextral-hall.service.in
               ${CMAKE_CURRENT_BINARY_DIR}/vextral-hall.service @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vextral-hall.service DESTINATION ${hall_unit_dir}
        COMPONENT hall EXCLUDE_FROM_ALL)
install(FILES ${hall_source}/vextral-hall.default DESTINATION /etc/default
        RENAME vextral-hall COMPONENT hall EXCLUDE_FROM_ALL)

set(hall_compressed)
vextral_compress_for_package(hall/vextral-hall.1 vextral-hall.1.gz hall_compressed)
vextral_compress_for_package(hall/changelog vextral-hall-changelog.gz hall_compressed)
add_custom_target(vextral_hall_package_docs ALL DEPENDS ${hall_compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vextral-hall.1.gz DESTINATION share/man/man1
        COMPONENT hall EXCLUDE_FROM_ALL)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/vextral-hall-changelog.gz
        DESTINATION share/doc/vextral-hall RENAME changelog.gz COMPONENT hall EXCLUDE_FROM_ALL)
# The server carries the game's simulation and its built-in resources: the same terms.
install(FILES copyright DESTINATION share/doc/vextral-hall COMPONENT hall EXCLUDE_FROM_ALL)

list(APPEND CPACK_COMPONENTS_ALL hall)
set(CPACK_DEBIAN_HALL_PACKAGE_NAME vextral-hall)
set(CPACK_DEBIAN_HALL_PACKAGE_SECTION net)
# The conffile list, and scripts that reload systemd and restart a running server after an
# upgrade and stop it before removal. The unit is not enabled on installation.
set(CPACK_DEBIAN_HALL_PACKAGE_CONTROL_EXTRA
    ${hall_source}/conffiles ${hall_source}/postinst ${hall_source}/prerm ${hall_source}/postrm)
set(CPACK_DEBIAN_HALL_DESCRIPTION "hall of fame server for Vextral
vextral-hall keeps a table of the best Vextral games. Players send the
recordings the game makes; the server plays each one again with the game's
own simulation, in a child process limited in CPU time and memory, and ranks
only those that replay to the score they claim. It serves the table as a web
page and as JSON over HTTP, and keeps its games in SQLite.

A systemd unit runs it as a user of its own, on 127.0.0.1:8734 by default.")
