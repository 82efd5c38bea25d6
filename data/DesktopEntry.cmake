# Runs at install time (install(CODE) in this folder's CMakeLists.txt): writes the menu entry with the full path
# of the installed wrapper and installs it.
set(exec "${CMAKE_INSTALL_PREFIX}/${CHRONOTEKA_BINDIR}/chronoteka-diary")
if(exec MATCHES "[\"`$\\\\]")
    # Such characters need two layers of escaping in an entry; rather than risk a broken one, rely on PATH.
    message(WARNING "The menu entry starts chronoteka-diary through PATH: the prefix has quote or escape characters")
    set(CHRONOTEKA_EXEC "chronoteka-diary")
else()
    string(REPLACE "%" "%%" exec "${exec}")
    set(CHRONOTEKA_EXEC "\"${exec}\"")
endif()
configure_file("${CHRONOTEKA_DESKTOP_IN}" "${CHRONOTEKA_DESKTOP_OUT}" @ONLY)
file(INSTALL "${CHRONOTEKA_DESKTOP_OUT}" DESTINATION "${CMAKE_INSTALL_PREFIX}/${CHRONOTEKA_APPLICATIONS}")
