# Cross build for the recorder's 32-bit ARM board with Debian's toolchain;
# json-c, SQLite and GoogleTest come from Debian's armhf packages (multiarch).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# pkg-config must look at the armhf .pc files only.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabihf/pkgconfig:/usr/share/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# Test programs run under qemu (the kernel also hands ARM programs started
# by the tests to qemu; see scripts/install-arm-deps.sh).
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm)
