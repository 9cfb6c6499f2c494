# SPDX-License-Identifier: MIT
# 32-bit Arm Linux (ARMv7, hard float). On Debian:
# apt-get install g++-arm-linux-gnueabihf qemu-user-static
set(zentu_triplet arm-linux-gnueabihf)
set(zentu_qemu qemu-arm-static)
set(CMAKE_SYSTEM_PROCESSOR armv7l)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
