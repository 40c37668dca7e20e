# Installing kelvor: every program defined under run/ and tools/ (found by walking their
# targets, so a new tool needs no line here) with a manual page made from its own --help, the
# example set, the workflow and the documentation; and the Debian package (cpack -G DEB).
# Tests, fuzz targets and benchmarks live elsewhere and are never installed.
include(GNUInstallDirs)
# cmake --install and cpack take what the build made; they never start a build of everything
# (tests and benchmarks included) of their own.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The executable targets defined in `dir` and in the folders below it.
function(kelvor_programs_in dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(found)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    kelvor_programs_in(${sub} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

kelvor_programs_in(${CMAKE_SOURCE_DIR}/run run_programs)
kelvor_programs_in(${CMAKE_SOURCE_DIR}/tools tool_programs)
set(KELVOR_PROGRAMS ${run_programs} ${tool_programs})

# A manual page per program: its --help text plus the written sections in <program>.man beside
# the program's CMakeLists.txt (NAME, EXAMPLES, SEE ALSO, ...); see tools/man/make_page.sh.
set(man_pages)
foreach(program ${KELVOR_PROGRAMS})
  get_target_property(program_dir ${program} SOURCE_DIR)
  set(written ${program_dir}/${program}.man)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  set(depends ${program} ${CMAKE_SOURCE_DIR}/tools/man/make_page.sh ${CMAKE_SOURCE_DIR}/tools/man/help_to_roff.awk)
  if(EXISTS ${written})
    list(APPEND depends ${written})
  else()
    message(WARNING "${program} has no ${written}: its manual page gets the --help text alone")
  endif()
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh ${CMAKE_SOURCE_DIR}/tools/man/make_page.sh $<TARGET_FILE:${program}> ${program}
            ${PROJECT_VERSION} ${written} ${page}
    DEPENDS ${depends}
    COMMENT "Manual page of ${program}"
    VERBATIM)
  list(APPEND man_pages ${page})
  install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(manpages ALL DEPENDS ${man_pages})

# The example set, to copy and train on anywhere.
set(kelvor_share ${CMAKE_INSTALL_DATADIR}/kelvor)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${kelvor_share}/examples)

# The workflow, without its tests. installed.yaml, written at install time with the prefix
# that is then in force (cmake --install --prefix, cpack), points it at the programs on PATH
# and the installed example set, and makes it work in the directory it is run in.
install(FILES ${CMAKE_SOURCE_DIR}/workflows/Snakefile ${CMAKE_SOURCE_DIR}/workflows/config.yaml
        DESTINATION ${kelvor_share}/workflow)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/workflows/profiles ${CMAKE_SOURCE_DIR}/workflows/rules ${CMAKE_SOURCE_DIR}/workflows/scripts
        DESTINATION ${kelvor_share}/workflow USE_SOURCE_PERMISSIONS
        PATTERN __pycache__ EXCLUDE PATTERN "*.pyc" EXCLUDE)
install(CODE "set(KELVOR_SHARE_DIR \"${kelvor_share}\")\nset(KELVOR_PROGRAMS \"${KELVOR_PROGRAMS}\")")
install(SCRIPT ${CMAKE_SOURCE_DIR}/tools/installed_workflow_settings.cmake)

# The documentation: the README with the pages and images it links to.
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package. Its run-time dependencies are those dpkg-shlibdeps finds in the programs.
set(KELVOR_PACKAGE_MAINTAINER "kelvor maintainers <kelvor@localhost>"
    CACHE STRING "Maintainer line of the Debian package: name <address>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KELVOR_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KELVOR_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "protein secondary structure trainer and predictor")
list(JOIN KELVOR_PROGRAMS ", " program_list)
set(CPACK_PACKAGE_DESCRIPTION "kelvor trains a two-stage feed-forward network that assigns every residue
of a set of protein chains to strand, coil or helix, from sequence
profiles, backbone angles and surface areas, with IEEE-double arithmetic
that repeats bit for bit. The package holds the programs
${program_list},
their manual pages, an example set of 213 chains and a Snakemake workflow
for cross-validation grids on one machine or a Slurm cluster.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "snakemake, gnuplot-nox, python3")
# Installed with DESTDIR under the package's own prefix, so that installed.yaml names
# /usr/share/kelvor rather than the staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
