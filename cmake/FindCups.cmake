# Finds libcups through cups-config, since Debian's libcups2-dev ships no
# pkg-config file.
#
# Defines Cups_FOUND, CUPS_VERSION and the imported target Cups::Cups.

find_program(CUPS_CONFIG_EXECUTABLE cups-config)

if(CUPS_CONFIG_EXECUTABLE)
  execute_process(COMMAND ${CUPS_CONFIG_EXECUTABLE} --version
                  OUTPUT_VARIABLE CUPS_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CUPS_CONFIG_EXECUTABLE} --cflags
                  OUTPUT_VARIABLE _cups_cflags OUTPUT_STRIP_TRAILING_WHITESPACE)
  execute_process(COMMAND ${CUPS_CONFIG_EXECUTABLE} --libs
                  OUTPUT_VARIABLE _cups_libs OUTPUT_STRIP_TRAILING_WHITESPACE)
  separate_arguments(_cups_cflags UNIX_COMMAND "${_cups_cflags}")
  separate_arguments(_cups_libs UNIX_COMMAND "${_cups_libs}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Cups
  REQUIRED_VARS CUPS_CONFIG_EXECUTABLE _cups_libs
  VERSION_VAR CUPS_VERSION)

if(Cups_FOUND AND NOT TARGET Cups::Cups)
  add_library(Cups::Cups INTERFACE IMPORTED)
  set_target_properties(Cups::Cups PROPERTIES
    INTERFACE_COMPILE_OPTIONS "${_cups_cflags}"
    INTERFACE_LINK_LIBRARIES "${_cups_libs}")
endif()
mark_as_advanced(CUPS_CONFIG_EXECUTABLE)
