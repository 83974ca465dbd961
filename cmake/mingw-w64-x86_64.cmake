# Cross-compiles for 64-bit Windows on Debian with mingw-w64's posix-thread compilers
# (std::thread and friends need them). Qt for the target is looked for in
# VELMAR_QT_MINGW_PREFIX (scripts/qt-mingw.sh puts it in build/qt6-mingw64), the JPEG
# library in VELMAR_LIBJPEG_MINGW_PREFIX (scripts/libjpeg-mingw.sh puts it in
# build/libjpeg-mingw64), Qt's TIFF and WebP plugins in VELMAR_IMAGEFORMATS_MINGW_PREFIX
# (scripts/imageformats-mingw.sh puts them in build/imageformats-mingw64); the host tools Qt needs at build time (moc, rcc, uic) come from
# Debian's qt6-base-dev-tools.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VELMAR_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VELMAR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELMAR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELMAR_MINGW_TRIPLET}-windres)

if(NOT VELMAR_QT_MINGW_PREFIX AND DEFINED ENV{VELMAR_QT_MINGW_PREFIX})
  set(VELMAR_QT_MINGW_PREFIX "$ENV{VELMAR_QT_MINGW_PREFIX}")
endif()
if(NOT VELMAR_QT_MINGW_PREFIX)
  get_filename_component(VELMAR_QT_MINGW_PREFIX "${CMAKE_CURRENT_LIST_DIR}/../build/qt6-mingw64"
                         ABSOLUTE)
endif()
if(NOT VELMAR_LIBJPEG_MINGW_PREFIX AND DEFINED ENV{VELMAR_LIBJPEG_MINGW_PREFIX})
  set(VELMAR_LIBJPEG_MINGW_PREFIX "$ENV{VELMAR_LIBJPEG_MINGW_PREFIX}")
endif()
if(NOT VELMAR_LIBJPEG_MINGW_PREFIX)
  get_filename_component(VELMAR_LIBJPEG_MINGW_PREFIX
                         "${CMAKE_CURRENT_LIST_DIR}/../build/libjpeg-mingw64" ABSOLUTE)
endif()
if(NOT VELMAR_IMAGEFORMATS_MINGW_PREFIX AND DEFINED ENV{VELMAR_IMAGEFORMATS_MINGW_PREFIX})
  set(VELMAR_IMAGEFORMATS_MINGW_PREFIX "$ENV{VELMAR_IMAGEFORMATS_MINGW_PREFIX}")
endif()
if(NOT VELMAR_IMAGEFORMATS_MINGW_PREFIX)
  get_filename_component(VELMAR_IMAGEFORMATS_MINGW_PREFIX
                         "${CMAKE_CURRENT_LIST_DIR}/../build/imageformats-mingw64" ABSOLUTE)
endif()
# try_compile() projects read this file again; they need the prefixes too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VELMAR_QT_MINGW_PREFIX
     VELMAR_LIBJPEG_MINGW_PREFIX VELMAR_IMAGEFORMATS_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${VELMAR_MINGW_TRIPLET} "${VELMAR_QT_MINGW_PREFIX}"
                         "${VELMAR_LIBJPEG_MINGW_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${VELMAR_QT_MINGW_PREFIX}" "${VELMAR_LIBJPEG_MINGW_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Qt's own tools run on the build machine.
if(NOT QT_HOST_PATH)
  set(QT_HOST_PATH /usr CACHE PATH "Qt installation with the host tools")
endif()
if(NOT QT_HOST_PATH_CMAKE_DIR)
  set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH
      "CMake packages of the host Qt")
endif()

# zlib (Debian's libz-mingw-w64-dev) goes into the program itself: one DLL fewer beside it.
set(ZLIB_USE_STATIC_LIBS ON)
