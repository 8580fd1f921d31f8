# Fails unless the library's dynamic symbol table defines every C entry with
# its plain (unmangled) name.
execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
foreach(entry DriverEntry DataEntry DbcEntry OsServicesStart OsServicesStop
              OsServicesSetArguments OsServicesProcessInterfaceOpen)
  if(NOT symbols MATCHES "[0-9a-f]+ T ${entry}\n")
    message(FATAL_ERROR "missing C entry ${entry}")
  endif()
endforeach()
# Class symbols stay visible: the XML dispatch looks handlers up by mangled name.
if(NOT symbols MATCHES " T _ZN9COsString7SStrCpyEPcmPKc\n")
  message(FATAL_ERROR "class symbols are not exported")
endif()
message(STATUS "all C entries exported")
