# SPDX-License-Identifier: MIT
# 32-bit x86 Linux. On Debian:
# apt-get install g++-i686-linux-gnu qemu-user-static
set(zentu_triplet i686-linux-gnu)
set(zentu_qemu qemu-i386-static)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
