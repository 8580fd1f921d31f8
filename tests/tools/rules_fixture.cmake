# The rules fixture: a copy of the library whose DATABASE resource is
# compiled from the shipped records together with every theme file of the
# rules fixtures (tests/data/db/rules/*.dbc, in name order): a theme file
# adds records the shipped resource lacks or replaces one too narrow for the
# rules tests (a later file wins over an earlier one, every theme file over
# the shipped records). The lookup, labels, configuration and the rest of
# the library stay as built.
#
#   cmake -DLIBRARY=... -DPMXDBC=... -DPMXRES=... -DSOURCES=db/sources
#         -DTHEMES=tests/data/db/rules -DHEADERS="db_def.h|os_coslocale.h"
#         -DOUTPUT=dir -P rules_fixture.cmake
set(source ${OUTPUT}/sources)
file(REMOVE_RECURSE ${source} ${OUTPUT}/compiled)
file(MAKE_DIRECTORY ${source} ${OUTPUT}/compiled)
file(COPY ${SOURCES}/lookup.dbc ${SOURCES}/labels.dbc DESTINATION ${source})
file(COPY_FILE ${SOURCES}/database.dbc ${source}/shipped.dbc)
set(includes shipped.dbc)
file(GLOB themes ${THEMES}/*.dbc)
list(SORT themes)
foreach(theme IN LISTS themes)
  get_filename_component(name ${theme} NAME)
  file(COPY_FILE ${theme} ${source}/theme_${name})
  string(APPEND includes ",theme_${name}")
endforeach()
# The top-level source carries the shipped header: the resource reader looks
# for it first, and the merge puts the top-level items before the included.
file(READ ${SOURCES}/database.dbc shipped)
string(REGEX MATCH "<header>.*</header>" header "${shipped}")
file(WRITE ${source}/database.dbc "<db include='${includes}'>\n${header}\n</db>\n")

string(REPLACE "|" ";" headers "${HEADERS}")
execute_process(COMMAND ${PMXDBC} ${LIBRARY} ${source} ${OUTPUT}/compiled ${headers}
                RESULT_VARIABLE status OUTPUT_VARIABLE printed ERROR_VARIABLE printed)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pmxdbc failed on the rules fixture (${status}):\n${printed}")
endif()
file(COPY_FILE ${LIBRARY} ${OUTPUT}/libscandrv.so.new)
execute_process(COMMAND ${PMXRES} add ${OUTPUT}/libscandrv.so.new DATABASE=@${OUTPUT}/compiled/database.edres
                RESULT_VARIABLE status OUTPUT_VARIABLE printed ERROR_VARIABLE printed)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "pmxres failed on the rules fixture (${status}):\n${printed}")
endif()
file(RENAME ${OUTPUT}/libscandrv.so.new ${OUTPUT}/libscandrv.so)
