# The mingw-w64 runtime DLLs the programs need at run time: the C++ library,
# the unwinder and the threads library. They are shared, not linked in
# statically: each static copy of libgcc would have its own unwinder state
# (on 32-bit mingw, DWARF-2 tables registered per module), so an exception
# thrown in Brindle.dll might not be caught in the program. They are copied
# beside the programs. The unwinder is named for its method: DWARF-2 on
# 32-bit targets, SEH on 64-bit ones.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(brindle_unwinder libgcc_s_seh-1.dll)
else()
  set(brindle_unwinder libgcc_s_dw2-1.dll)
endif()
set(BRINDLE_MINGW_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll ${brindle_unwinder} libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
    OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
    message(FATAL_ERROR "the compiler does not know where ${dll} is")
  endif()
  list(APPEND BRINDLE_MINGW_RUNTIME_DLLS "${found}")
endforeach()
file(COPY ${BRINDLE_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
