# SPDX-License-Identifier: MIT
# 64-bit RISC-V Linux. On Debian:
# apt-get install g++-riscv64-linux-gnu qemu-user-static
set(zentu_triplet riscv64-linux-gnu)
set(zentu_qemu qemu-riscv64-static)
set(CMAKE_SYSTEM_PROCESSOR riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
