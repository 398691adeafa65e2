# Writes the menu entry with Exec pointing at the installed program. Run as a script:
#   cmake -DTEMPLATE=vidoria.desktop.in -DOUTPUT=.../vidoria.desktop -DPROGRAM=/abs/path -P ...
# install() runs it with the prefix known only at install time.
foreach(required TEMPLATE OUTPUT PROGRAM)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "write_desktop_entry.cmake: ${required} is not set")
  endif()
endforeach()

# The Exec value: the path quoted as one argument (\ " ` $ escaped inside the quotes), then
# every backslash doubled again because the value is a desktop-entry string, and % doubled
# because Exec gives it a meaning of its own.
set(exec "${PROGRAM}")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "\"" "\\\"" exec "${exec}")
string(REPLACE "`" "\\`" exec "${exec}")
string(REPLACE "$" "\\$" exec "${exec}")
set(exec "\"${exec}\"")
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")

set(VIDORIA_EXEC "${exec}")
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
message(STATUS "Installing: ${OUTPUT}")
