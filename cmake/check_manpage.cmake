# Checks the manual page: groff reads it without a warning, it has every section a reader
# looks for, it describes every report type the driver can print, and it points to every
# document installed beside it. Skipped (the line "groff not found: skipped") without groff.
#   cmake -DSOURCE=<source folder> -P cmake/check_manpage.cmake
set(page "${SOURCE}/docs/ruk.1")
file(READ "${page}" text)

set(problems "")
foreach(section NAME SYNOPSIS DESCRIPTION "\"EXIT STATUS\"" DIAGNOSTICS ENVIRONMENT FILES
                "\"SEE ALSO\"")
  string(FIND "${text}" "\n.SH ${section}\n" at)
  if(at EQUAL -1)
    string(APPEND problems "no section .SH ${section}\n")
  endif()
endforeach()

# Every report type but Empty (no error) gets its own entry under DIAGNOSTICS.
string(FIND "${text}" "\n.SH DIAGNOSTICS\n" from)
string(FIND "${text}" "\n.SH ENVIRONMENT\n" to)
math(EXPR length "${to} - ${from}")
string(SUBSTRING "${text}" ${from} ${length} diagnostics)
file(READ "${SOURCE}/core/report.h" header)
string(REGEX MATCH "kReportTypeNames = {[^}]*}" names "${header}")
string(REGEX MATCHALL "\"[A-Z][a-z]+\"" names "${names}")
list(LENGTH names count)
if(count LESS 14)
  string(APPEND problems "found only ${count} report types in core/report.h\n")
endif()
foreach(quoted IN LISTS names)
  string(REPLACE "\"" "" type "${quoted}")
  if(NOT type STREQUAL "Empty")
    string(FIND "${diagnostics}" "\n.TP\n.B ${type}\n" at)
    if(at EQUAL -1)
      string(APPEND problems "report type ${type} not described under DIAGNOSTICS\n")
    endif()
  endif()
endforeach()

# Every document that `make install` puts beside the page is named under SEE ALSO.
string(FIND "${text}" "\n.SH \"SEE ALSO\"\n" from)
string(SUBSTRING "${text}" ${from} -1 see_also)
file(GLOB docs RELATIVE "${SOURCE}/docs" "${SOURCE}/docs/*.md")
foreach(doc IN LISTS docs ITEMS README.md)
  string(FIND "${see_also}" "${doc}" at)
  if(at EQUAL -1)
    string(APPEND problems "${doc} not named under SEE ALSO\n")
  endif()
endforeach()

if(problems)
  message(FATAL_ERROR "docs/ruk.1:\n${problems}")
endif()

find_program(GROFF groff)
if(NOT GROFF)
  message("groff not found: skipped")
  return()
endif()
execute_process(COMMAND ${GROFF} -man -ww -z -Tutf8 "${page}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0 OR NOT err STREQUAL "")
  message(FATAL_ERROR "groff -man -ww on docs/ruk.1 (status ${status}):\n${err}")
endif()
