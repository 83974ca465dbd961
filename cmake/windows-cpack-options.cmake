# Read by CPack for each package generator: the zip unpacks to one folder named like the
# package; the installer takes the program folder's contents as they are.
if(CPACK_GENERATOR STREQUAL "ZIP")
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
endif()
