# Writes the desktop entry from its template at build time. @VELMAR_MIME_TYPES@ becomes
# what the tool prints: the image types Qt's installed image plugins read, so the entry
# offers exactly the files the program can open.
# Usage: cmake -DTOOL=<velmar_mime_types> -DTEMPLATE=<in> -DOUTPUT=<out> -P desktop-entry.cmake
foreach(variable TOOL TEMPLATE OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "desktop-entry.cmake needs -D${variable}=")
  endif()
endforeach()

# A sanitizer build's tool must not fail on the plugin loader's lifetime allocations.
set(ENV{ASAN_OPTIONS} "detect_leaks=0")
execute_process(COMMAND "${TOOL}"
                OUTPUT_VARIABLE VELMAR_MIME_TYPES
                ERROR_VARIABLE errors
                RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT VELMAR_MIME_TYPES MATCHES "^[^;\n]+(;[^;\n]+)*;$")
  message(FATAL_ERROR "${TOOL} gave no MIME type list (${status}): ${errors}")
endif()
configure_file("${TEMPLATE}" "${OUTPUT}" @ONLY)
