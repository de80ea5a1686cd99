# Run at install time: writes the desktop entry with the installed program's absolute
# path, so a desktop whose PATH lacks the prefix's bin/ (often ~/.local/bin) still
# starts it. TOLVAR_DESKTOP_TEMPLATE names the template.
get_filename_component(_prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)
set(_program "${_prefix}/bin/tolvar")

# Exec quoting: inside double quotes ", `, $ and \ take a backslash; then the key's
# string escaping doubles every backslash; a literal % is written %%.
set(_exec "${_program}")
string(REPLACE "\\" "\\\\" _exec "${_exec}")
string(REPLACE "\"" "\\\"" _exec "${_exec}")
string(REPLACE "`" "\\`" _exec "${_exec}")
string(REPLACE "$" "\\$" _exec "${_exec}")
string(REPLACE "\\" "\\\\" _exec "${_exec}")
string(REPLACE "%" "%%" _exec "${_exec}")
set(TOLVAR_EXEC "\"${_exec}\"")
# TryExec is a plain string, not an argument list.
string(REPLACE "\\" "\\\\" TOLVAR_TRYEXEC "${_program}")

set(_entry "$ENV{DESTDIR}${_prefix}/share/applications/tolvar.desktop")
message(STATUS "Installing: ${_entry}")
configure_file("${TOLVAR_DESKTOP_TEMPLATE}" "${_entry}" @ONLY)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${_entry}")
