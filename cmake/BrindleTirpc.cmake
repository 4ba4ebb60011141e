# Finds libtirpc, the ONC RPC library under Brindle's RPC runtime, and makes
# the imported target Brindle::tirpc. Sets BRINDLE_TIRPC_FOUND. Needs no
# pkg-config: libtirpc's headers are the only ones with netconfig.h, in
# their own tirpc/ folder (Debian: libtirpc-dev).
if(TARGET Brindle::tirpc)
  set(BRINDLE_TIRPC_FOUND TRUE)
  return()
endif()
find_path(BRINDLE_TIRPC_INCLUDE_DIR netconfig.h PATH_SUFFIXES tirpc)
find_library(BRINDLE_TIRPC_LIBRARY tirpc)
mark_as_advanced(BRINDLE_TIRPC_INCLUDE_DIR BRINDLE_TIRPC_LIBRARY)
if(BRINDLE_TIRPC_INCLUDE_DIR AND BRINDLE_TIRPC_LIBRARY)
  set(BRINDLE_TIRPC_FOUND TRUE)
  add_library(Brindle::tirpc INTERFACE IMPORTED)
  set_target_properties(Brindle::tirpc PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${BRINDLE_TIRPC_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES "${BRINDLE_TIRPC_LIBRARY}")
else()
  set(BRINDLE_TIRPC_FOUND FALSE)
endif()
