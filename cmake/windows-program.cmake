# The Windows program (included by src/CMakeLists.txt): a GUI executable with its icon and
# version information, the DLLs and plugins beside it, and one program folder as its
# installed layout (the zip and the installer), where it also finds its own files.
include(${PROJECT_SOURCE_DIR}/cmake/windows-runtime.cmake)

# The version information describes the program in Japanese, as Explorer shows it.
set(VELMAR_ICON ${PROJECT_SOURCE_DIR}/resources/icons/velmar.ico)
set(VELMAR_DESCRIPTION "画像編集ツール　プリント")
set(VELMAR_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/velmar.manifest)
configure_file(${PROJECT_SOURCE_DIR}/resources/velmar.manifest ${VELMAR_MANIFEST} @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/resources/velmar.rc.in ${CMAKE_CURRENT_BINARY_DIR}/velmar.rc
               @ONLY)
target_sources(velmar PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/velmar.rc)
set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/velmar.rc APPEND PROPERTY OBJECT_DEPENDS
             ${VELMAR_MANIFEST} ${VELMAR_ICON})

# The program's manifest is its only one. GCC for mingw-w64 links a default manifest
# (default-manifest.o) into every executable where its runtime ships one, and two manifests
# with resource id 1 do not link; an empty object of that name found first shadows it.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=default-manifest.o
                OUTPUT_VARIABLE VELMAR_DEFAULT_MANIFEST OUTPUT_STRIP_TRAILING_WHITESPACE)
if(IS_ABSOLUTE "${VELMAR_DEFAULT_MANIFEST}" AND EXISTS "${VELMAR_DEFAULT_MANIFEST}")
  set(shadow_folder ${CMAKE_CURRENT_BINARY_DIR}/no-default-manifest)
  file(MAKE_DIRECTORY ${shadow_folder})
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -c -x c++ /dev/null
                          -o ${shadow_folder}/default-manifest.o
                  RESULT_VARIABLE shadow_status)
  if(NOT shadow_status EQUAL 0)
    message(FATAL_ERROR "Could not make an empty default-manifest.o in ${shadow_folder}")
  endif()
  target_link_options(velmar PRIVATE -B${shadow_folder}/)
endif()
set_target_properties(velmar PROPERTIES WIN32_EXECUTABLE ON)
velmar_deploy_windows_runtime(velmar)

install(TARGETS velmar RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/resources/UserData.ini DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/resources/help/velmar.htm DESTINATION help)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/velmar-32.png DESTINATION .
        RENAME velmar.png)
install(FILES ${VELMAR_ICON} DESTINATION .)
