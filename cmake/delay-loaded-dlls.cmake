# System DLLs the Windows programs load when first called rather than at start: each is needed only
# after the panel shows (the tray, the dialog, the port list, the settings folder, network lines),
# and under wine every DLL loaded at start, with those it pulls in, delays the panel. For each, the
# system's import library is remade with the same functions as a delay-import library (dlltool -y),
# the target delay_loaded::NAME, which the libraries link in place of NAME.

find_program(LUMEVANTA_DLLTOOL ${mingw_triplet}-dlltool REQUIRED)

function(lumevanta_delay_loaded dll)
  find_library(import_library_${dll} ${dll} REQUIRED)
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${import_library_${dll}} OUTPUT_VARIABLE symbols
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "__imp_[A-Za-z0-9_]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE "^__imp_" "")
  list(REMOVE_DUPLICATES imports)
  list(JOIN imports "\n" exports)
  set(folder ${CMAKE_BINARY_DIR}/delay-loaded)
  file(CONFIGURE OUTPUT ${folder}/${dll}.def CONTENT "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
  set(library ${folder}/lib${dll}-delayed.a)
  add_custom_command(OUTPUT ${library}
    COMMAND ${LUMEVANTA_DLLTOOL} --input-def ${folder}/${dll}.def --dllname ${dll}.dll --output-delaylib ${library}
    DEPENDS ${folder}/${dll}.def
    COMMENT "Making the delay-import library of ${dll}.dll"
    VERBATIM)
  add_custom_target(${dll}_delayed DEPENDS ${library})
  add_library(delay_loaded::${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(delay_loaded::${dll} PROPERTIES IMPORTED_LOCATION ${library})
  add_dependencies(delay_loaded::${dll} ${dll}_delayed)
endfunction()

foreach(dll comctl32 ole32 setupapi shell32 ws2_32)
  lumevanta_delay_loaded(${dll})
endforeach()
