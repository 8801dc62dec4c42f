# The wine environment of the cross-compiled Windows build: the emulator
# that runs its test programs, and OM_WINE_ENV (NAME=value list) for the
# tests that start wine themselves. The settings come from scripts/wine.sh,
# their one definition, which the scripts and the end-to-end tests source.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  set(OM_WINE_SETTINGS ${CMAKE_SOURCE_DIR}/scripts/wine.sh)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${OM_WINE_SETTINGS})
  file(STRINGS ${OM_WINE_SETTINGS} settings REGEX "^OM_WINE[A-Z_]*=")
  foreach(setting IN LISTS settings)
    string(REGEX MATCH "^([A-Z_]+)=([^ \t#]*)" _ "${setting}")
    set(${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
  endforeach()
  if(NOT OM_WINEDEBUG OR NOT OM_WINEARCH OR NOT OM_WINEPREFIX_DIR)
    message(FATAL_ERROR "${OM_WINE_SETTINGS} lacks OM_WINEDEBUG, OM_WINEARCH or OM_WINEPREFIX_DIR")
  endif()
  set(OM_WINE_ENV WINEDEBUG=${OM_WINEDEBUG} WINEARCH=${OM_WINEARCH}
                  WINEPREFIX=${CMAKE_BINARY_DIR}/${OM_WINEPREFIX_DIR})
  # Read when each target is created: the test programs all come later.
  set(CMAKE_CROSSCOMPILING_EMULATOR env ${OM_WINE_ENV} wine)
endif()
