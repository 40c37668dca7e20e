# Run at install time: writes installed.yaml beside the installed Snakefile. It holds the
# settings that differ from the source tree's config.yaml: the programs found on PATH (one
# setting per installed program, kelvor-predict as kelvor_predict), the installed example set,
# no source to build from, and results in the directory snakemake runs in, never in the
# installation.
if(IS_ABSOLUTE "${KELVOR_SHARE_DIR}")
  set(share "${KELVOR_SHARE_DIR}")
else()
  set(share "${CMAKE_INSTALL_PREFIX}/${KELVOR_SHARE_DIR}")
endif()
set(target "$ENV{DESTDIR}${share}/workflow/installed.yaml")
string(REPLACE "'" "''" quoted "${share}")
message(STATUS "Installing: ${target}")
set(programs "")
foreach(program ${KELVOR_PROGRAMS})
  string(REPLACE "-" "_" key "${program}")
  string(APPEND programs "${key}: ${program}\n")
endforeach()
file(WRITE "${target}" "\
# Written when kelvor was installed; these settings replace those of config.yaml. Give others
# with --config or --configfile, e.g. --config kelvor=/opt/kelvor/bin/kelvor.

# The programs, by setting: names looked up on PATH (or give paths).
${programs}# No source tree to build kelvor from.
source: null

# The installed example set.
template: '${quoted}/examples/kelvor.in'
proteins: '${quoted}/examples/proteins.list'
data_root: '${quoted}/examples'

# Relative paths are taken from the directory snakemake runs in, and results go there.
working_directory: invocation
")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${target}")
