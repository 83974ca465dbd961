# What a Windows build of Velmar needs beside its executable: the Qt DLLs, the mingw-w64
# runtime DLLs, Qt's plugin folders and Qt's Japanese texts. velmar_deploy_windows_runtime() copies them into
# the build's program folder (so that the program and the tests run from there) and
# installs them with the program (the zip and the installer).

set(VELMAR_QT_DLL_TARGETS Qt6::Core Qt6::Gui Qt6::Widgets Qt6::PrintSupport)

# Plugin target, folder under the program folder.
set(VELMAR_QT_PLUGINS
    Qt6::QWindowsIntegrationPlugin platforms
    Qt6::QOffscreenIntegrationPlugin platforms
    Qt6::QMinimalIntegrationPlugin platforms
    Qt6::QJpegPlugin imageformats
    Qt6::QGifPlugin imageformats
    Qt6::QICOPlugin imageformats
    Qt6::QWindowsVistaStylePlugin styles)

# Qt's TIFF and WebP plugins, which Qt's own build of qtbase lacks: scripts/imageformats-mingw.sh
# builds them from Debian's qt6-imageformats, libtiff and libwebp, as Linux has them.
set(VELMAR_EXTRA_IMAGEFORMAT_PLUGINS qtiff.dll qwebp.dll)
function(velmar_extra_imageformat_plugins out)
  set(plugins)
  foreach(name IN LISTS VELMAR_EXTRA_IMAGEFORMAT_PLUGINS)
    set(path ${VELMAR_IMAGEFORMATS_MINGW_PREFIX}/plugins/imageformats/${name})
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "No ${path}: run scripts/imageformats-mingw.sh (TIFF and WebP for "
                          "Windows)")
    endif()
    list(APPEND plugins ${path})
  endforeach()
  set(${out} ${plugins} PARENT_SCOPE)
endfunction()

# The compiler's own runtime: the C++ library, the unwinder and the posix threads.
function(velmar_mingw_runtime_dlls out)
  set(dlls)
  foreach(name IN ITEMS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(path "${path}" REALPATH)
    if(NOT EXISTS "${path}")
      message(FATAL_ERROR "The mingw-w64 runtime library ${name} was not found")
    endif()
    list(APPEND dlls "${path}")
  endforeach()
  set(${out} ${dlls} PARENT_SCOPE)
endfunction()

function(velmar_deploy_windows_runtime target)
  velmar_mingw_runtime_dlls(runtime_dlls)
  # Qt's own Japanese texts (dialog buttons, the print dialog): the catalogue of Debian's
  # qt6-translations-l10n, the same for every system; the program reads it from
  # translations/ beside itself.
  find_file(VELMAR_QT_JAPANESE_TEXTS qtbase_ja.qm PATHS ${QT_HOST_PATH}/share/qt6/translations
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(commands
      COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/translations
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VELMAR_QT_JAPANESE_TEXTS}
              $<TARGET_FILE_DIR:${target}>/translations)
  install(FILES ${VELMAR_QT_JAPANESE_TEXTS} DESTINATION translations)
  foreach(dll IN LISTS runtime_dlls)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${dll}
         $<TARGET_FILE_DIR:${target}>)
  endforeach()
  foreach(qt IN LISTS VELMAR_QT_DLL_TARGETS)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${qt}>
         $<TARGET_FILE_DIR:${target}>)
    install(FILES $<TARGET_FILE:${qt}> DESTINATION .)
  endforeach()
  set(plugins ${VELMAR_QT_PLUGINS})
  while(plugins)
    list(POP_FRONT plugins plugin folder)
    list(APPEND commands
         COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${target}>/${folder}
         COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${plugin}>
                 $<TARGET_FILE_DIR:${target}>/${folder})
    install(FILES $<TARGET_FILE:${plugin}> DESTINATION ${folder})
  endwhile()
  velmar_extra_imageformat_plugins(extra_plugins)
  list(APPEND commands COMMAND ${CMAKE_COMMAND} -E make_directory
       $<TARGET_FILE_DIR:${target}>/imageformats)
  foreach(plugin IN LISTS extra_plugins)
    list(APPEND commands COMMAND ${CMAKE_COMMAND} -E copy_if_different ${plugin}
         $<TARGET_FILE_DIR:${target}>/imageformats)
  endforeach()
  install(FILES ${extra_plugins} DESTINATION imageformats)
  add_custom_command(TARGET ${target} POST_BUILD ${commands} VERBATIM)
  install(FILES ${runtime_dlls} DESTINATION .)
endfunction()
