# Stages the library as LIBDIR/<file> with its override ini beside it
# ("<name without extension>_override.ini", section "main", key "root"), so
# that a service layer started from the staged copy writes below ROOT only.
#   cmake -DLIBRARY=<built library> -DLIBDIR=<ROOT>/opt/<company>/<model>/lib -DROOT=<root> -P stage.cmake
foreach(variable LIBRARY LIBDIR ROOT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "stage.cmake needs -D${variable}=...")
  endif()
endforeach()
get_filename_component(name ${LIBRARY} NAME)
get_filename_component(stem ${LIBRARY} NAME_WLE)
file(MAKE_DIRECTORY ${LIBDIR} ${ROOT})
file(COPY_FILE ${LIBRARY} ${LIBDIR}/${name})
file(WRITE ${LIBDIR}/${stem}_override.ini "[main]\nroot=${ROOT}\n")
