# The Windows program (included by src/CMakeLists.txt): a GUI executable with its icon and
# version information, the DLLs and plugins beside it, and one program folder as its
# installed layout (the zip and the installer), where it also finds its own files.
include(${PROJECT_SOURCE_DIR}/cmake/windows-runtime.cmake)

set(VELMAR_ICON ${PROJECT_SOURCE_DIR}/resources/icons/velmar.ico)
configure_file(${PROJECT_SOURCE_DIR}/resources/velmar.rc.in ${CMAKE_CURRENT_BINARY_DIR}/velmar.rc
               @ONLY)
target_sources(velmar PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/velmar.rc)
set_target_properties(velmar PROPERTIES WIN32_EXECUTABLE ON)
velmar_deploy_windows_runtime(velmar)

install(TARGETS velmar RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/resources/UserData.ini DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/resources/help/velmar.htm DESTINATION help)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/velmar-32.png DESTINATION .
        RENAME velmar.png)
install(FILES ${VELMAR_ICON} DESTINATION .)
