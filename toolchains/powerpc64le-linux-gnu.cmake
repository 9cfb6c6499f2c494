# SPDX-License-Identifier: MIT
# 64-bit little-endian POWER Linux. On Debian:
# apt-get install g++-powerpc64le-linux-gnu qemu-user-static
set(zentu_triplet powerpc64le-linux-gnu)
set(zentu_qemu qemu-ppc64le-static)
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
