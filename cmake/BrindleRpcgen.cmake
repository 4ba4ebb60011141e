# brindle_rpcgen(<target> <file.x>)
#
# Runs rpcgen on an interface written in its language and makes a static
# library <target> of what it writes: the XDR routines, the client stubs and
# the server dispatch routine (no main), all thread-safe (-M), with the
# header <file>.h on the library's include path. The header also declares
# the dispatch routines (`<program>_<version>`), which rpcgen's own header
# leaves out, so that a C++ server can name them in its RPC_INTERFACE.
# <target> links Brindle::rpc, so a program needs only
#
#   target_link_libraries(server PRIVATE <target>)
#
# The server program defines the procedures (`<procedure>_<version>_svc`)
# and `<program>_<version>_freeresult`; a client program that links <target>
# needs neither. rpcgen writes C: the project enables C as well as C++.
#
# rpcgen runs again whenever <file.x> changes, and only <target> runs it, so
# any number of programs may link <target> in a parallel build.
set(BRINDLE_RPCGEN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/BrindleRpcgenRun.cmake)

function(brindle_rpcgen target x_file)
  if(NOT CMAKE_C_COMPILER_LOADED)
    message(FATAL_ERROR "brindle_rpcgen(${target}): rpcgen writes C; add C to the project's languages "
      "(project(<name> LANGUAGES C CXX))")
  endif()
  find_program(BRINDLE_RPCGEN rpcgen)
  if(NOT BRINDLE_RPCGEN)
    message(FATAL_ERROR "brindle_rpcgen(${target}): rpcgen not found (Debian: rpcsvc-proto)")
  endif()
  get_filename_component(source ${x_file} ABSOLUTE)
  get_filename_component(stem ${x_file} NAME_WE)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}.rpcgen)
  set(header ${out}/${stem}.h)
  set(c_files ${out}/${stem}_xdr.c ${out}/${stem}_clnt.c ${out}/${stem}_svc.c)
  add_custom_command(
    OUTPUT ${header} ${c_files}
    COMMAND ${CMAKE_COMMAND} -DRPCGEN=${BRINDLE_RPCGEN} -DSOURCE=${source} -DOUT=${out}
      -P ${BRINDLE_RPCGEN_SCRIPT}
    DEPENDS ${source} ${BRINDLE_RPCGEN_SCRIPT}
    COMMENT "rpcgen ${x_file}"
    VERBATIM)
  add_library(${target} STATIC ${header} ${c_files})
  # rpcgen's C is what it is: no warnings of ours on it.
  set_source_files_properties(${c_files} PROPERTIES COMPILE_OPTIONS "-w")
  set_target_properties(${target} PROPERTIES POSITION_INDEPENDENT_CODE ON COMPILE_WARNING_AS_ERROR OFF)
  target_include_directories(${target} PUBLIC ${out})
  target_link_libraries(${target} PUBLIC Brindle::rpc)
endfunction()
