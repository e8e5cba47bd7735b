#!/usr/bin/env bash
# Builds the libraries the program carries, as static libraries, from
# Debian's sources unpacked in SOURCES (one folder a package, NAME-VERSION),
# into PREFIX (include/, lib/). Runs where the release's compiler is: inside
# the Linux build root, or with the Windows cross compilers.
#
#   libraries.sh SOURCES PREFIX [linux|windows]
set -euo pipefail
sources=$1 prefix=$2 target=${3:-linux}
work=$(mktemp -d /tmp/libraries.XXXXXX)
trap 'rm -rf "$work"' EXIT
jobs=$(nproc)
mkdir -p "$prefix/include" "$prefix/lib"

cmake_args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix"
  -DCMAKE_FIND_ROOT_PATH="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON -DCMAKE_C_FLAGS=-O2 -DCMAKE_CXX_FLAGS=-O2)
if [ "$target" = windows ]; then
  cmake_args+=(-DCMAKE_TOOLCHAIN_FILE="$(cd "$(dirname "$0")" && pwd)/mingw64.cmake")
  cc=x86_64-w64-mingw32-gcc-posix cxx=x86_64-w64-mingw32-g++-posix ar=x86_64-w64-mingw32-ar
else
  cc=gcc cxx=g++ ar=ar
fi

# The one unpacked folder of source package $1.
source_of() {
  local d
  d=$(ls -d "$sources/$1-"[0-9]* 2>/dev/null | head -n 1)
  [ -n "$d" ] || { echo "libraries: no sources of $1 in $sources" >&2; exit 1; }
  echo "$d"
}

# Copies package $1's sources to a scratch folder and configures, builds and
# installs it with CMake (from the subfolder $2, "." for the top), with the
# rest of the arguments added.
cmake_package() {
  local name=$1 sub=$2; shift 2
  echo "libraries: building $name" >&2
  cp -a "$(source_of "$name")" "$work/$name"
  cmake -S "$work/$name/$sub" -B "$work/$name-build" -G "Unix Makefiles" "${cmake_args[@]}" "$@" \
    > "$work/$name.log" 2>&1 || { tail -n 30 "$work/$name.log" >&2; exit 1; }
  cmake --build "$work/$name-build" -j "$jobs" >> "$work/$name.log" 2>&1 \
    && cmake --install "$work/$name-build" >> "$work/$name.log" 2>&1 \
    || { tail -n 30 "$work/$name.log" >&2; exit 1; }
}

# zlib: its CMake build wants the Windows resources Debian's sources leave
# out; its few files are compiled here directly.
echo "libraries: building zlib" >&2
src=$(source_of zlib)
mkdir -p "$work/zlib"
for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate inftrees \
         trees uncompr zutil; do
  $cc -O2 -fPIC -D_LARGEFILE64_SOURCE=1 -c "$src/$f.c" -o "$work/zlib/$f.o"
done
$ar rcs "$prefix/lib/libz.a" "$work"/zlib/*.o
cp "$src/zlib.h" "$src/zconf.h" "$prefix/include/"

cmake_package libpng1.6 . -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_ROOT="$prefix" -DZLIB_LIBRARY="$prefix/lib/libz.a" -DZLIB_INCLUDE_DIR="$prefix/include"
cmake_package freetype . -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON \
  -DFT_DISABLE_BROTLI=ON -DFT_REQUIRE_ZLIB=ON -DZLIB_LIBRARY="$prefix/lib/libz.a" \
  -DZLIB_INCLUDE_DIR="$prefix/include"
cmake_package libjpeg-turbo . -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_JPEG8=OFF -DCMAKE_INSTALL_LIBDIR="$prefix/lib"  # its own install rules take "lib" from the root
cmake_package libogg . -DINSTALL_DOCS=OFF -DBUILD_TESTING=OFF
cmake_package libvorbis . -DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a"
# mpg123 (LGPL) is the one library the program carries beside it, as a shared
# library anyone can replace with their own build.
cmake_package mpg123 ports/cmake -DBUILD_LIBOUT123=OFF -DBUILD_PROGRAMS=OFF -DCMAKE_DISABLE_FIND_PACKAGE_PkgConfig=ON \
  -DBUILD_SHARED_LIBS=ON
# SDL2: only what the show uses, and nothing it would have to be linked
# against. X11 and ALSA are opened at run time (the machine's own), and so
# are EGL and OpenGL; no PulseAudio, Wayland, D-Bus or udev.
sdl_linux=()
[ "$target" = linux ] && sdl_linux=(-DSDL_X11=ON -DSDL_X11_SHARED=ON -DSDL_ALSA=ON -DSDL_ALSA_SHARED=ON
  -DSDL_PULSEAUDIO=OFF -DSDL_PIPEWIRE=OFF -DSDL_JACK=OFF -DSDL_SNDIO=OFF -DSDL_ESD=OFF -DSDL_ARTS=OFF
  -DSDL_NAS=OFF -DSDL_WAYLAND=OFF -DSDL_KMSDRM=OFF -DSDL_RPI=OFF -DSDL_VIVANTE=OFF -DSDL_DIRECTFB=OFF
  -DSDL_LIBSAMPLERATE=OFF -DSDL_DBUS=OFF -DSDL_IBUS=OFF -DSDL_LIBUDEV=OFF -DSDL_HIDAPI_LIBUSB=OFF
  -DSDL_OFFSCREEN=ON)
cmake_package libsdl2 . -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=OFF \
  "${sdl_linux[@]}"

# TinyXML and GLEW come with plain makefiles: compiled here directly.
echo "libraries: building tinyxml" >&2
src=$(source_of tinyxml)
for f in tinyxml tinyxmlparser tinyxmlerror tinystr; do
  $cxx -O2 -fPIC -c "$src/$f.cpp" -o "$work/$f.o"
done
$ar rcs "$prefix/lib/libtinyxml.a" "$work"/tinyxml*.o "$work"/tinystr.o
cp "$src/tinyxml.h" "$src/tinystr.h" "$prefix/include/"

# FTGL's CMake build misses its own files and its autotools build wants
# GLUT: its sources are compiled here directly (it needs no configuration).
echo "libraries: building ftgl" >&2
src=$(source_of ftgl)
mkdir -p "$work/ftgl" "$prefix/include/FTGL"
v=${src##*/ftgl-}; printf '#define PACKAGE_VERSION "%s"\n#define __FUNC__ __func__\n' "${v%%-*}" > "$work/ftgl/config.h"
for f in "$src"/src/*.cpp "$src"/src/FTFont/*.cpp "$src"/src/FTGlyph/*.cpp "$src"/src/FTLayout/*.cpp; do
  $cxx -O2 -fPIC -DFTGL_LIBRARY_STATIC -I"$work/ftgl" -I"$src/src" -I"$prefix/include" \
    -I"$prefix/include/freetype2" -c "$f" -o "$work/ftgl/$(basename "$f" .cpp).o"
done
$ar rcs "$prefix/lib/libftgl.a" "$work"/ftgl/*.o
cp "$src"/src/FTGL/*.h "$prefix/include/FTGL/"

echo "libraries: building glew" >&2
src=$(source_of glew)
$cc -O2 -fPIC -DGLEW_STATIC -DGLEW_NO_GLU -I"$src/include" -c "$src/src/glew.c" -o "$work/glew.o"
$ar rcs "$prefix/lib/libGLEW.a" "$work/glew.o"
mkdir -p "$prefix/include/GL"
cp "$src/include/GL/glew.h" "$src/include/GL/glxew.h" "$src/include/GL/wglew.h" "$prefix/include/GL/"
echo "libraries: done" >&2
