# SPDX-License-Identifier: MIT
# 64-bit Arm Linux. On Debian:
# apt-get install g++-aarch64-linux-gnu qemu-user-static
set(zentu_triplet aarch64-linux-gnu)
set(zentu_qemu qemu-aarch64-static)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
