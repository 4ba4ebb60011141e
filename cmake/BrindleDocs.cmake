# The reference: `cmake --build <build> --target docs` runs Doxygen over the
# public headers and the pages in docs/ into <build>/docs/html, and fails on
# any warning (an undocumented member, a broken reference), so that the
# reference stays whole. Without Doxygen there is no such target, and the
# library configures and builds as ever; under another project there is none
# either, so that a `docs` target of that project's own is not clashed with.
if(BRINDLE_IS_TOP)
  find_package(Doxygen QUIET)
endif()
if(BRINDLE_IS_TOP AND DOXYGEN_FOUND)
  set(BRINDLE_DOCS_OUTPUT ${PROJECT_BINARY_DIR}/docs)
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
  # Always run: a run that failed on warnings leaves its output behind, which
  # must not count as up to date. A run takes a few seconds.
  add_custom_target(docs
    COMMAND ${CMAKE_COMMAND} -E make_directory ${BRINDLE_DOCS_OUTPUT}
    COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Doxygen: the reference, into ${BRINDLE_DOCS_OUTPUT}/html"
    VERBATIM)
endif()
