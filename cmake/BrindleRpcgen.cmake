# brindle_rpcgen(<name> <variable>): runs rpcgen on <name>.x of the current
# source directory at build time and sets <variable> to the generated files:
# the header, then the XDR routines, the server dispatch (no main) and the
# client stubs, all thread-safe (-M). The C files build as C, without
# warnings: rpcgen's C is what it is.
find_program(BRINDLE_RPCGEN rpcgen REQUIRED)

function(brindle_rpcgen name out_var)
  set(source ${CMAKE_CURRENT_SOURCE_DIR})
  set(out ${CMAKE_CURRENT_BINARY_DIR})
  set(files ${out}/${name}.h ${out}/${name}_xdr.c ${out}/${name}_svc.c ${out}/${name}_clnt.c)
  # rpcgen writes the header's include as it was given the .x file, so it
  # runs beside the .x file and is given its bare name. It will not replace
  # files it made before: they go first.
  add_custom_command(
    OUTPUT ${files}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${files}
    COMMAND ${BRINDLE_RPCGEN} -M -h -o ${out}/${name}.h ${name}.x
    COMMAND ${BRINDLE_RPCGEN} -M -c -o ${out}/${name}_xdr.c ${name}.x
    COMMAND ${BRINDLE_RPCGEN} -M -m -o ${out}/${name}_svc.c ${name}.x
    COMMAND ${BRINDLE_RPCGEN} -M -l -o ${out}/${name}_clnt.c ${name}.x
    DEPENDS ${source}/${name}.x
    WORKING_DIRECTORY ${source}
    COMMENT "rpcgen ${name}.x"
    VERBATIM)
  list(SUBLIST files 1 3 c_files)
  set_source_files_properties(${c_files} PROPERTIES COMPILE_OPTIONS "-w")
  set(${out_var} ${files} PARENT_SCOPE)
endfunction()
