# The Windows packages (cpack in the build folder): a zip of the program folder, and an
# installer made with NSIS that installs for the current user only (no administrator
# rights) into %LOCALAPPDATA%\Programs\Velmar and registers an uninstaller there.
set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PACKAGE_NAME velmar)
set(CPACK_PACKAGE_VENDOR "Velmar developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prints one image on one page at its physical size")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Velmar)
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/windows-cpack-options.cmake)
# CPack reads the per-user installer script from this folder instead of its own.
list(PREPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake/nsis)
set(CPACK_NSIS_DISPLAY_NAME Velmar)
set(CPACK_NSIS_PACKAGE_NAME Velmar)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/icons/velmar.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/icons/velmar.ico)
