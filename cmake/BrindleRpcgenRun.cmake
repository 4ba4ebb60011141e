# Run by brindle_rpcgen's build rule: cmake -DRPCGEN=... -DSOURCE=<file.x>
# -DOUT=<folder> -P BrindleRpcgenRun.cmake
#
# rpcgen writes each part to standard output here, as it refuses to replace
# files it wrote before. It runs beside the .x file and is given its bare
# name, because the C files include the header by that name.
cmake_minimum_required(VERSION 3.20)
get_filename_component(dir ${SOURCE} DIRECTORY)
get_filename_component(name ${SOURCE} NAME)
get_filename_component(stem ${SOURCE} NAME_WE)
file(MAKE_DIRECTORY ${OUT})

function(rpcgen_part flag out_var)
  execute_process(COMMAND ${RPCGEN} -M ${flag} ${name}
    WORKING_DIRECTORY ${dir}
    OUTPUT_VARIABLE text
    ERROR_VARIABLE errors
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "rpcgen ${flag} ${SOURCE} failed (${status}):\n${errors}")
  endif()
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

rpcgen_part(-h header)
rpcgen_part(-c xdr)
rpcgen_part(-l clnt)
rpcgen_part(-m svc)

# The dispatch routines, one per version: "void\n<name>(struct svc_req *rqstp, ...".
string(REGEX MATCHALL "\n[A-Za-z_][A-Za-z0-9_]*\\(struct svc_req \\*rqstp" found "${svc}")
set(declarations "")
foreach(match IN LISTS found)
  string(REGEX REPLACE "^\n([A-Za-z0-9_]+)\\(.*" "\\1" routine "${match}")
  string(APPEND declarations "void ${routine}(struct svc_req *, SVCXPRT *);\n")
endforeach()
string(MAKE_C_IDENTIFIER "${stem}" guard)
string(APPEND header "
/* The server dispatch routines, which rpcgen leaves undeclared. */
#ifndef _${guard}_DISPATCH_BRINDLE
#define _${guard}_DISPATCH_BRINDLE
#ifdef __cplusplus
extern \"C\" {
#endif
${declarations}#ifdef __cplusplus
}
#endif
#endif
")

# Written whole and then renamed, so that an interrupted run leaves no
# half-written file for the next build to take as current.
set(h ${header})
foreach(part h xdr clnt svc)
  if(part STREQUAL "h")
    set(file ${stem}.h)
  else()
    set(file ${stem}_${part}.c)
  endif()
  file(WRITE ${OUT}/${file}.tmp "${${part}}")
  file(RENAME ${OUT}/${file}.tmp ${OUT}/${file})
endforeach()
