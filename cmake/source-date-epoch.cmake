# Writes to OUTPUT the time that the programs' PE headers carry, in seconds since 1970: the time
# of the commit checked out in SOURCE_DIR, so that a commit links the same bytes whenever it is
# built; in a tree without git, SOURCE_DATE_EPOCH from the environment, or else 0. OUTPUT is
# written only when the time changed, so that the programs are linked again only then.
#   cmake -DSOURCE_DIR=DIR -DOUTPUT=FILE -P cmake/source-date-epoch.cmake
execute_process(
  COMMAND git -C "${SOURCE_DIR}" log -1 --format=%ct
  RESULT_VARIABLE status
  OUTPUT_VARIABLE epoch
  OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_QUIET)
if(NOT status EQUAL 0 OR epoch STREQUAL "")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(epoch "$ENV{SOURCE_DATE_EPOCH}")
  else()
    set(epoch 0)
  endif()
endif()
if(NOT epoch MATCHES "^[0-9]+$")
  message(FATAL_ERROR "source-date-epoch: not a number of seconds since 1970: '${epoch}'")
endif()
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" written)
  if(written STREQUAL epoch)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${epoch}")
