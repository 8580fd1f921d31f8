# A text file as a constant of the library, so that the file stays readable
# by tools and the library needs no file at run time.
#
# Included: scandrv_embed_text(<output variable> <input> <header> <symbol>)
# adds the build step that writes the source and names it in the variable.
# Run with -P (by that step): writes OUTPUT, a source that includes HEADER
# and defines "const char SYMBOL[]" as the text of INPUT.
if(CMAKE_SCRIPT_MODE_FILE)
  file(READ ${INPUT} text)
  set(delimiter "EMBEDDEDTEXT")
  string(FIND "${text}" ")${delimiter}\"" found)
  if(NOT found EQUAL -1)
    message(FATAL_ERROR "${INPUT} holds the raw string's closing sequence")
  endif()
  file(WRITE ${OUTPUT}.new
    "// Written by the build from ${INPUT}: change that file instead.\n"
    "#include \"${HEADER}\"\n\n"
    "const char ${SYMBOL}[] = R\"${delimiter}(${text})${delimiter}\";\n")
  file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
  file(REMOVE ${OUTPUT}.new)
  return()
endif()

set(SCANDRV_EMBED_TEXT_SCRIPT ${CMAKE_CURRENT_LIST_FILE})
function(scandrv_embed_text output_variable input header symbol)
  get_filename_component(name ${input} NAME_WE)
  set(output ${CMAKE_CURRENT_BINARY_DIR}/generated/${name}.cpp)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -DHEADER=${header} -DSYMBOL=${symbol}
            -P ${SCANDRV_EMBED_TEXT_SCRIPT}
    DEPENDS ${input} ${SCANDRV_EMBED_TEXT_SCRIPT}
    COMMENT "Embedding ${name}"
    VERBATIM)
  set(${output_variable} ${output} PARENT_SCOPE)
endfunction()
