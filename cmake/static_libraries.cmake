# The libraries for a release build: static builds under TINLANTERN_LIBRARIES
# (include/, lib/), made by tools/release/libraries.sh, under the same target
# names the development build gets from the system's packages. Only the
# OpenGL library and the C library stay the machine's own; SDL opens X11,
# ALSA and EGL itself at run time (on Windows it uses the system's own DLLs);
# mpg123 goes along as a shared library.
set(_prefix ${TINLANTERN_LIBRARIES})

function(static_library name)
  cmake_parse_arguments(ARG "" "" "FILES;INCLUDES;DEFINES;LINKS" ${ARGN})
  add_library(${name} INTERFACE IMPORTED GLOBAL)
  set(_files)
  foreach(f ${ARG_FILES})
    if(NOT EXISTS ${_prefix}/lib/${f})
      message(FATAL_ERROR "${_prefix}/lib/${f} is missing: run tools/release/libraries.sh")
    endif()
    list(APPEND _files ${_prefix}/lib/${f})
  endforeach()
  set(_includes)
  foreach(i ${ARG_INCLUDES})
    list(APPEND _includes ${_prefix}/${i})
  endforeach()
  set_target_properties(${name} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_includes}"
    INTERFACE_LINK_LIBRARIES "${_files};${ARG_LINKS}"
    INTERFACE_COMPILE_DEFINITIONS "${ARG_DEFINES}")
endfunction()

set(OpenGL_GL_PREFERENCE LEGACY)
find_package(OpenGL REQUIRED)
find_package(Threads REQUIRED)

static_library(ZLIB::ZLIB FILES libz.a INCLUDES include)
if(WIN32)
  # The program keeps its own main(): SDL is told so at start-up.
  static_library(SDL2::SDL2 FILES libSDL2.a INCLUDES include/SDL2 include DEFINES SDL_MAIN_HANDLED
                 LINKS Threads::Threads kernel32 user32 gdi32 winmm imm32 ole32 oleaut32 version uuid
                       advapi32 setupapi shell32 dinput8)
else()
  static_library(SDL2::SDL2 FILES libSDL2.a INCLUDES include/SDL2 include
                 LINKS Threads::Threads m ${CMAKE_DL_LIBS} rt)
endif()
static_library(GLEW::GLEW FILES libGLEW.a INCLUDES include DEFINES GLEW_STATIC GLEW_NO_GLU
               LINKS OpenGL::GL)
static_library(JPEG::JPEG FILES libjpeg.a INCLUDES include)
static_library(PNG::PNG FILES libpng16.a INCLUDES include LINKS ZLIB::ZLIB $<$<NOT:$<PLATFORM_ID:Windows>>:m>)
static_library(Freetype::Freetype FILES libfreetype.a INCLUDES include/freetype2 LINKS ZLIB::ZLIB)
static_library(PkgConfig::FTGL FILES libftgl.a INCLUDES include DEFINES FTGL_LIBRARY_STATIC
               LINKS Freetype::Freetype OpenGL::GL)
static_library(PkgConfig::TINYXML FILES libtinyxml.a INCLUDES include)
static_library(PkgConfig::VORBISFILE FILES libvorbisfile.a libvorbis.a libogg.a INCLUDES include
               LINKS $<$<NOT:$<PLATFORM_ID:Windows>>:m>)
# mpg123 is under the LGPL: it stays a shared library that travels beside the
# program (lib/, found through the program's run path).
add_library(PkgConfig::MPG123 SHARED IMPORTED GLOBAL)
if(WIN32)
  set_target_properties(PkgConfig::MPG123 PROPERTIES
    IMPORTED_LOCATION ${_prefix}/bin/libmpg123.dll IMPORTED_IMPLIB ${_prefix}/lib/libmpg123.dll.a
    INTERFACE_INCLUDE_DIRECTORIES ${_prefix}/include)
else()
  set_target_properties(PkgConfig::MPG123 PROPERTIES
    IMPORTED_LOCATION ${_prefix}/lib/libmpg123.so IMPORTED_SONAME libmpg123.so
    INTERFACE_INCLUDE_DIRECTORIES ${_prefix}/include)
endif()
