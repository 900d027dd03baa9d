# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, so that std::thread and friends work): scripts/test-windows uses it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(IAP_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${IAP_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${IAP_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${IAP_MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${IAP_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages (the Qt SDK) come from CMAKE_PREFIX_PATH, outside the mingw root.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# Tests run the programs under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
